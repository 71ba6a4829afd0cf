// The graph cache's joins and the DDS-to-ROS name rules, without DDS.
#include <gtest/gtest.h>

#include <string>

#include "demangle.hpp"
#include "graph_cache.hpp"

namespace {

using rclcpp_dds::EntityKind;
using rclcpp_dds::Gid;
using rclcpp_dds::GraphCache;

Gid gid(uint8_t participant, uint8_t entity) {
  Gid g{};
  g[0] = participant;
  g[15] = entity;
  return g;
}

rmw_dds_common::msg::Gid to_message(const Gid& g) {
  rmw_dds_common::msg::Gid m;
  std::copy(g.begin(), g.end(), m.data.begin());
  return m;
}

rmw_dds_common::msg::ParticipantEntitiesInfo info(uint8_t participant, const std::string& ns,
                                                  const std::string& name, std::vector<Gid> readers,
                                                  std::vector<Gid> writers) {
  rmw_dds_common::msg::ParticipantEntitiesInfo message;
  message.gid = to_message(gid(participant, 0xc1));
  rmw_dds_common::msg::NodeEntitiesInfo node;
  node.node_namespace = ns;
  node.node_name = name;
  for (const auto& r : readers) node.reader_gid_seq.push_back(to_message(r));
  for (const auto& w : writers) node.writer_gid_seq.push_back(to_message(w));
  message.node_entities_info_seq.push_back(node);
  return message;
}

rclcpp_dds::DiscoveredEndpoint endpoint(const std::string& topic, const std::string& type,
                                        uint8_t participant) {
  return {topic, type, gid(participant, 0xc1), rclcpp::QoS(10)};
}

TEST(Demangle, TopicsServicesAndTypes) {
  EXPECT_EQ(rclcpp_dds::demangle_topic("rt/cmd_vel"), "/cmd_vel");
  EXPECT_EQ(rclcpp_dds::demangle_topic("ros_discovery_info"), "");
  EXPECT_EQ(rclcpp_dds::demangle_topic("rq/a/get_parametersRequest"), "");
  EXPECT_EQ(rclcpp_dds::demangle_service_request("rq/a/get_parametersRequest"),
            "/a/get_parameters");
  EXPECT_EQ(rclcpp_dds::demangle_service_request("rr/a/get_parametersReply"), "");
  EXPECT_EQ(rclcpp_dds::demangle_service_reply("rr/a/get_parametersReply"), "/a/get_parameters");
  EXPECT_EQ(rclcpp_dds::demangle_service_reply("rr/a/get_parametersReplyX"), "");
  EXPECT_EQ(rclcpp_dds::demangle_service("rq/sRequest"), "/s");
  EXPECT_EQ(rclcpp_dds::demangle_type("geometry_msgs::msg::dds_::Twist_"),
            "geometry_msgs/msg/Twist");
  EXPECT_EQ(rclcpp_dds::demangle_type("SomeDdsType"), "SomeDdsType");
  EXPECT_EQ(rclcpp_dds::demangle_service_type("rcl_interfaces::srv::dds_::GetParameters_Request_"),
            "rcl_interfaces/srv/GetParameters");
  EXPECT_EQ(rclcpp_dds::demangle_service_type("rcl_interfaces::srv::dds_::GetParameters_Response_"),
            "rcl_interfaces/srv/GetParameters");
  EXPECT_EQ(rclcpp_dds::demangle_service_type("std_msgs::msg::dds_::String_"), "");
}

class Cache : public testing::Test {
 protected:
  void SetUp() override {
    cache_.add_participant(gid(1, 0xc1), "/");
    cache_.update_participant_entities(
        info(1, "/robot1", "dock1", {gid(1, 4), gid(1, 7), gid(1, 8)}, {gid(1, 3), gid(1, 9)}));
    cache_.add_endpoint(EntityKind::writer, gid(1, 3),
                        endpoint("rt/robot1/cmd_vel", "geometry_msgs::msg::dds_::Twist_", 1));
    cache_.add_endpoint(EntityKind::reader, gid(1, 4),
                        endpoint("rt/robot1/odom", "nav_msgs::msg::dds_::Odometry_", 1));
    // A service's request reader and a client's reply reader.
    cache_.add_endpoint(EntityKind::reader, gid(1, 7),
                        endpoint("rq/robot1/dock1/get_parametersRequest",
                                 "rcl_interfaces::srv::dds_::GetParameters_Request_", 1));
    cache_.add_endpoint(EntityKind::reader, gid(1, 8),
                        endpoint("rr/robot1/other/list_parametersReply",
                                 "rcl_interfaces::srv::dds_::ListParameters_Response_", 1));
    // Known participant, writer listed by no node; a participant nothing announced.
    cache_.add_endpoint(EntityKind::writer, gid(1, 5),
                        endpoint("rt/robot1/cmd_vel", "geometry_msgs::msg::dds_::Twist_", 1));
    cache_.add_endpoint(EntityKind::writer, gid(2, 3),
                        endpoint("rt/robot1/cmd_vel", "other::Twist", 2));
  }

  GraphCache cache_;
};

TEST_F(Cache, EndpointsJoinTheirNodes) {
  const auto infos =
      cache_.endpoints_info(EntityKind::writer, "rt/robot1/cmd_vel", rclcpp_dds::demangle_type);
  ASSERT_EQ(infos.size(), 3u);
  EXPECT_EQ(infos[0].node_name(), "dock1");
  EXPECT_EQ(infos[0].node_namespace(), "/robot1");
  EXPECT_EQ(infos[0].topic_type(), "geometry_msgs/msg/Twist");
  EXPECT_EQ(infos[0].endpoint_gid(), gid(1, 3));
  EXPECT_EQ(infos[1].node_name(), "_NODE_NAME_UNKNOWN_");
  EXPECT_EQ(infos[1].node_namespace(), "_NODE_NAMESPACE_UNKNOWN_");
  EXPECT_EQ(infos[2].node_name(), "_CREATED_BY_BARE_DDS_APP_");
  EXPECT_EQ(cache_.count(EntityKind::writer, "rt/robot1/cmd_vel"), 3u);
  EXPECT_EQ(cache_.count(EntityKind::reader, "rt/robot1/cmd_vel"), 0u);

  const auto topics = cache_.names_and_types(rclcpp_dds::demangle_topic, rclcpp_dds::demangle_type);
  ASSERT_EQ(topics.size(), 2u);
  EXPECT_EQ(topics.at("/robot1/cmd_vel"),
            (std::vector<std::string>{"geometry_msgs/msg/Twist", "other::Twist"}));
}

TEST_F(Cache, ByNodeQueriesUseTheNodesOwnLists) {
  using NamesAndTypes = rclcpp_dds::NamesAndTypes;
  EXPECT_EQ(cache_.names_and_types_by_node("dock1", "/robot1", EntityKind::writer,
                                           rclcpp_dds::demangle_topic, rclcpp_dds::demangle_type),
            (NamesAndTypes{{"/robot1/cmd_vel", {"geometry_msgs/msg/Twist"}}}));
  EXPECT_EQ(
      cache_.names_and_types_by_node("dock1", "/robot1", EntityKind::reader,
                                     rclcpp_dds::demangle_service_request,
                                     rclcpp_dds::demangle_service_type),
      (NamesAndTypes{{"/robot1/dock1/get_parameters", {"rcl_interfaces/srv/GetParameters"}}}));
  EXPECT_EQ(
      cache_.names_and_types_by_node("dock1", "/robot1", EntityKind::reader,
                                     rclcpp_dds::demangle_service_reply,
                                     rclcpp_dds::demangle_service_type),
      (NamesAndTypes{{"/robot1/other/list_parameters", {"rcl_interfaces/srv/ListParameters"}}}));
  EXPECT_FALSE(cache_.names_and_types_by_node(
      "dock1", "/", EntityKind::reader, rclcpp_dds::demangle_topic, rclcpp_dds::demangle_type));
}

TEST_F(Cache, GoneParticipantsAndEndpointsLeave) {
  cache_.update_participant_entities(info(3, "/", "late", {}, {}));
  ASSERT_EQ(cache_.node_names_and_namespaces().size(), 2u);
  cache_.remove_participant(gid(1, 0xc1));
  const auto nodes = cache_.node_names_and_namespaces();
  ASSERT_EQ(nodes.size(), 1u);
  EXPECT_EQ(nodes[0], std::make_pair(std::string("late"), std::string("/")));
  cache_.remove_endpoint(EntityKind::writer, gid(1, 3));
  EXPECT_EQ(cache_.count(EntityKind::writer, "rt/robot1/cmd_vel"), 2u);
}

}  // namespace
