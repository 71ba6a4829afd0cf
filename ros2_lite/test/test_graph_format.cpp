#include <gtest/gtest.h>

#include <chrono>

#include "graph_format.hpp"

namespace {

using namespace ros2_lite;

rclcpp::TopicEndpointInfo endpoint() {
  rclcpp::TopicEndpointInfo::Gid gid{};
  gid[0] = 0x01;
  gid[1] = 0x10;
  gid[15] = 0x03;
  return rclcpp::TopicEndpointInfo("talker", "/", "geometry_msgs/msg/Twist",
                                   rclcpp::EndpointType::Publisher, gid,
                                   rclcpp::QoS(7)
                                       .transient_local()
                                       .lifespan(std::chrono::seconds(10))
                                       .deadline(rclcpp::Duration::infinite())
                                       .liveliness(rclcpp::LivelinessPolicy::Automatic)
                                       .liveliness_lease_duration(rclcpp::Duration::infinite()));
}

TEST(NodeList, SortedVisibleNamesOrCount) {
  const NodeNames nodes = {
      {"talker", "/"}, {"dock1", "/robot1"}, {"_ros2_lite_1", "/"}, {"", "/"}, {"talker", "/"}};
  const Printed shown = format_node_list(nodes, false, false);
  EXPECT_EQ(shown.out, "/robot1/dock1\n/talker\n/talker\n");
  EXPECT_EQ(shown.err,
            "WARNING: Be aware that are nodes in the graph that share an exact name, this can "
            "have unintended side effects.\n");
  EXPECT_EQ(format_node_list(nodes, true, false).out,
            "/\n/_ros2_lite_1\n/robot1/dock1\n/talker\n/talker\n");
  EXPECT_EQ(format_node_list(nodes, false, true).out, "3\n");
  EXPECT_EQ(format_node_list({}, false, false).out, "");
}

TEST(NodeInfo, SectionsHiddenNamesAndActions) {
  NodeInfo info;
  info.subscribers = {{"/cmd_in", {"geometry_msgs/msg/Twist"}},
                      {"/fib/_action/feedback", {"example/action/Fib_FeedbackMessage"}}};
  info.publishers = {{"/chatter", {"a/msg/A", "b/msg/B"}}, {"/_debug/state", {"a/msg/A"}}};
  info.service_servers = {{"/talker/get_parameters", {"rcl_interfaces/srv/GetParameters"}}};
  EXPECT_EQ(format_node_info("/talker", info, false),
            "/talker\n"
            "  Subscribers:\n"
            "    /cmd_in: geometry_msgs/msg/Twist\n"
            "  Publishers:\n"
            "    /chatter: a/msg/A, b/msg/B\n"
            "  Service Servers:\n"
            "    /talker/get_parameters: rcl_interfaces/srv/GetParameters\n"
            "  Service Clients:\n"
            "\n"
            "  Action Servers:\n"
            "\n"
            "  Action Clients:\n"
            "    /fib: example/action/Fib\n");
  const std::string all = format_node_info("/talker", info, true);
  EXPECT_NE(all.find("    /_debug/state: a/msg/A\n"), std::string::npos);
  EXPECT_NE(all.find("    /fib/_action/feedback: example/action/Fib_FeedbackMessage\n"),
            std::string::npos);
}

TEST(TopicInfo, PlainAndVerbose) {
  TopicInfo info;
  info.types = {"geometry_msgs/msg/Twist"};
  info.publisher_count = 1;
  info.publishers = {endpoint()};
  EXPECT_EQ(format_topic_info(info, false),
            "Type: geometry_msgs/msg/Twist\nPublisher count: 1\nSubscription count: 0\n");
  EXPECT_EQ(format_topic_info(info, true),
            "Type: geometry_msgs/msg/Twist\n\n"
            "Publisher count: 1\n\n"
            "Node name: talker\n"
            "Node namespace: /\n"
            "Topic type: geometry_msgs/msg/Twist\n"
            "Endpoint type: PUBLISHER\n"
            "GID: 01.10.00.00.00.00.00.00.00.00.00.00.00.00.00.03.00.00.00.00.00.00.00.00\n"
            "QoS profile:\n"
            "  Reliability: RELIABLE\n"
            "  History (Depth): KEEP_LAST (7)\n"
            "  Durability: TRANSIENT_LOCAL\n"
            "  Lifespan: 10000000000 nanoseconds\n"
            "  Deadline: Infinite\n"
            "  Liveliness: AUTOMATIC\n"
            "  Liveliness lease duration: Infinite\n\n"
            "Subscription count: 0\n\n");
  info.types.push_back("other/msg/Twist");
  EXPECT_EQ(format_topic_info(info, false).substr(0, 50),
            "Type: ['geometry_msgs/msg/Twist', 'other/msg/Twist");
}

TEST(EndpointInfo, KeepAllBestEffortAndUnknowns) {
  auto info = endpoint();
  info.qos_profile().keep_all().best_effort().durability(rclcpp::DurabilityPolicy::Unknown);
  info.endpoint_type() = rclcpp::EndpointType::Subscription;
  const std::string text = format_endpoint_info(info);
  EXPECT_NE(text.find("Endpoint type: SUBSCRIPTION\n"), std::string::npos);
  EXPECT_NE(text.find("  Reliability: BEST_EFFORT\n  History (Depth): KEEP_ALL\n"
                      "  Durability: UNKNOWN\n"),
            std::string::npos);
}

}  // namespace
