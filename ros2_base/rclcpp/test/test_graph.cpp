// The graph between two processes: what one announces on ros_discovery_info
// and what the other makes of it. Domains 150-154.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "context.hpp"
#include "gid.hpp"
#include "nav_msgs/msg/odometry.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_dds/type_support.hpp"
#include "rmw_dds_common/msg/participant_entities_info.hpp"
#include "sertype.hpp"
#include "test_support/child_process.hpp"

namespace {

using std::chrono::milliseconds;
using test_support::ChildProcess;
using test_support::wait_until;

constexpr milliseconds kStartup{10000};
const std::vector<std::string> kRemapped = {"--ros-args", "-r", "__node:=dock1", "-r",
                                            "__ns:=/robot1"};

ChildProcess start_peer(const std::string& domain_id, const std::vector<std::string>& ros_args) {
  std::vector<std::string> argv = {TEST_PEER, "graph"};
  argv.insert(argv.end(), ros_args.begin(), ros_args.end());
  ChildProcess::Options options;
  options.set_env = {"ROS_DOMAIN_ID=" + domain_id};
  return ChildProcess(argv, options);
}

bool has(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

class Graph : public testing::Test {
 protected:
  void init_on_domain(const char* domain_id) {
    setenv("ROS_DOMAIN_ID", domain_id, 1);
    const char* argv[] = {"test_graph"};
    rclcpp::init(1, argv);
    node_ = std::make_shared<rclcpp::Node>("observer");
  }
  void TearDown() override { rclcpp::shutdown(); }

  rclcpp::Node::SharedPtr node_;
};

TEST_F(Graph, NodesAndCountsFollowThePeer) {
  ChildProcess plain = start_peer("150", {});
  ChildProcess remapped = start_peer("150", kRemapped);
  ASSERT_TRUE(remapped.wait_for_line_containing("ready /robot1/dock1", kStartup))
      << remapped.stderr_text();
  init_on_domain("150");

  ASSERT_TRUE(wait_until(
      [&] {
        const auto names = node_->get_node_names();
        return has(names, "/test_peer") && has(names, "/robot1/dock1");
      },
      kStartup));
  EXPECT_TRUE(has(node_->get_node_names(), "/observer"));
  const auto names_and_namespaces = node_->get_node_names_and_namespaces();
  EXPECT_NE(std::find(names_and_namespaces.begin(), names_and_namespaces.end(),
                      std::make_pair(std::string("dock1"), std::string("/robot1"))),
            names_and_namespaces.end());

  ASSERT_TRUE(
      wait_until([&] { return node_->count_publishers("/robot1/cmd_vel") == 1; }, kStartup));
  EXPECT_EQ(node_->count_publishers("/cmd_vel"), 1u);
  EXPECT_EQ(node_->count_subscribers("/robot1/cmd_vel"), 0u);

  // A subscription of this process counts as soon as it exists, and stops counting when gone.
  auto sub = node_->create_subscription<geometry_msgs::msg::Twist>(
      "robot1/cmd_vel", 10, [](const geometry_msgs::msg::Twist&) {});
  EXPECT_TRUE(
      wait_until([&] { return node_->count_subscribers("/robot1/cmd_vel") == 1; }, kStartup));
  EXPECT_EQ(node_->get_subscriber_names_and_types_by_node("observer", "/"),
            (std::map<std::string, std::vector<std::string>>{
                {"/parameter_events", {"rcl_interfaces/msg/ParameterEvent"}},
                {"/robot1/cmd_vel", {"geometry_msgs/msg/Twist"}}}));
  sub.reset();
  EXPECT_TRUE(
      wait_until([&] { return node_->count_subscribers("/robot1/cmd_vel") == 0; }, kStartup));

  const auto topics = node_->get_topic_names_and_types();
  ASSERT_EQ(topics.count("/robot1/odom"), 1u);
  EXPECT_EQ(topics.at("/robot1/odom"), std::vector<std::string>{"nav_msgs/msg/Odometry"});
  EXPECT_EQ(topics.count("ros_discovery_info"), 0u);
  EXPECT_EQ(node_->get_publisher_names_and_types_by_node("dock1", "/robot1"),
            (std::map<std::string, std::vector<std::string>>{
                {"/parameter_events", {"rcl_interfaces/msg/ParameterEvent"}},
                {"/robot1/cmd_vel", {"geometry_msgs/msg/Twist"}},
                {"/rosout", {"rcl_interfaces/msg/Log"}}}));
  EXPECT_EQ(node_->get_subscriber_names_and_types_by_node("dock1", "/robot1"),
            (std::map<std::string, std::vector<std::string>>{
                {"/parameter_events", {"rcl_interfaces/msg/ParameterEvent"}},
                {"/robot1/odom", {"nav_msgs/msg/Odometry"}}}));
  const auto services = node_->get_service_names_and_types_by_node("dock1", "/robot1");
  EXPECT_EQ(services.size(), 6u);
  EXPECT_EQ(services.at("/robot1/dock1/set_parameters"),
            std::vector<std::string>{"rcl_interfaces/srv/SetParameters"});
  EXPECT_TRUE(node_->get_client_names_and_types_by_node("dock1", "/robot1").empty());
  EXPECT_THROW(node_->get_publisher_names_and_types_by_node("dock1", "/"), std::runtime_error);

  remapped.send_signal(SIGINT);
  ASSERT_TRUE(remapped.wait_exit(kStartup));
  EXPECT_TRUE(wait_until(
      [&] {
        return !has(node_->get_node_names(), "/robot1/dock1") &&
               node_->count_publishers("/robot1/cmd_vel") == 0;
      },
      kStartup));
  EXPECT_TRUE(has(node_->get_node_names(), "/test_peer"));
}

TEST_F(Graph, EndpointInfoCarriesNodeQosAndGid) {
  ChildProcess peer = start_peer("151", kRemapped);
  ASSERT_TRUE(peer.wait_for_line_containing("ready", kStartup)) << peer.stderr_text();
  init_on_domain("151");

  std::vector<rclcpp::TopicEndpointInfo> infos;
  ASSERT_TRUE(wait_until(
      [&] {
        infos = node_->get_publishers_info_by_topic("/robot1/cmd_vel");
        return infos.size() == 1 && infos[0].node_name() == "dock1";
      },
      kStartup));
  const rclcpp::TopicEndpointInfo& info = infos[0];
  EXPECT_EQ(info.node_namespace(), "/robot1");
  EXPECT_EQ(info.topic_type(), "geometry_msgs/msg/Twist");
  EXPECT_EQ(info.endpoint_type(), rclcpp::EndpointType::Publisher);
  const auto& gid = info.endpoint_gid();
  EXPECT_TRUE(std::all_of(gid.begin() + 16, gid.end(), [](uint8_t b) { return b == 0; }));
  // A user writer's entity kind, as DDSI numbers it.
  EXPECT_EQ(gid[15], 0x03);
  const rclcpp::QoS& qos = info.qos_profile();
  EXPECT_EQ(qos.history(), rclcpp::HistoryPolicy::KeepLast);
  EXPECT_EQ(qos.depth(), 7u);
  EXPECT_EQ(qos.reliability(), rclcpp::ReliabilityPolicy::Reliable);
  EXPECT_EQ(qos.durability(), rclcpp::DurabilityPolicy::TransientLocal);
  EXPECT_EQ(qos.lifespan(), rclcpp::Duration(3, 0));
  EXPECT_EQ(qos.deadline(), rclcpp::Duration(2, 0));
  EXPECT_EQ(qos.liveliness(), rclcpp::LivelinessPolicy::Automatic);
  EXPECT_EQ(qos.liveliness_lease_duration(), rclcpp::Duration::infinite());

  std::vector<rclcpp::TopicEndpointInfo> subs;
  ASSERT_TRUE(wait_until(
      [&] {
        subs = node_->get_subscriptions_info_by_topic("robot1/odom");
        return subs.size() == 1;
      },
      kStartup));
  EXPECT_EQ(subs[0].endpoint_type(), rclcpp::EndpointType::Subscription);
  EXPECT_EQ(subs[0].qos_profile().reliability(), rclcpp::ReliabilityPolicy::BestEffort);
  EXPECT_EQ(subs[0].qos_profile().durability(), rclcpp::DurabilityPolicy::Volatile);
  EXPECT_EQ(subs[0].qos_profile().lifespan(), rclcpp::Duration::infinite());
  EXPECT_EQ(node_->get_subscriptions_info_by_topic("rt/robot1/odom", true).size(), 1u);
}

// A plain DDS participant reads what the peer publishes, as a ROS 2 tool would.
class DiscoveryInfo : public testing::Test {
 protected:
  void SetUp() override {
    domain_ = dds_create_domain(152, rclcpp_dds::loopback_profile);
    ASSERT_GT(domain_, 0);
    participant_ = dds_create_participant(152, nullptr, nullptr);
    ASSERT_GT(participant_, 0);
  }
  void TearDown() override {
    dds_delete(participant_);
    dds_delete(domain_);
  }

  // The GUID of the one remote endpoint on the topic, from the built-in topic.
  rclcpp_dds::Gid remote_endpoint(dds_entity_t builtin, const std::string& topic,
                                  std::string* type = nullptr, dds_qos_t** qos = nullptr) {
    const dds_entity_t reader = dds_create_reader(participant_, builtin, nullptr, nullptr);
    rclcpp_dds::Gid gid{};
    wait_until(
        [&] {
          void* samples[16] = {};
          dds_sample_info_t infos[16];
          const dds_return_t n = dds_read(reader, samples, infos, 16, 16);
          bool found = false;
          for (dds_return_t i = 0; i < n && !found; ++i) {
            const auto& s = *static_cast<dds_builtintopic_endpoint_t*>(samples[i]);
            if (infos[i].valid_data && topic == s.topic_name) {
              gid = rclcpp_dds::gid_from_guid(s.key);
              found = true;
              if (type) *type = s.type_name;
              if (qos) {
                *qos = dds_create_qos();
                dds_copy_qos(*qos, s.qos);
              }
            }
          }
          if (n > 0) dds_return_loan(reader, samples, n);
          return found;
        },
        kStartup);
    dds_delete(reader);
    return gid;
  }

  dds_entity_t domain_ = 0;
  dds_entity_t participant_ = 0;
};

TEST_F(DiscoveryInfo, SampleListsTheNodeAndItsEndpoints) {
  ChildProcess peer = start_peer("152", kRemapped);
  ASSERT_TRUE(peer.wait_for_line_containing("ready", kStartup)) << peer.stderr_text();

  const auto& members = rclcpp_dds::message_members<rmw_dds_common::msg::ParticipantEntitiesInfo>();
  const dds_entity_t topic =
      rclcpp_dds::create_topic(participant_, "ros_discovery_info", members, false);
  ASSERT_GT(topic, 0);
  dds_qos_t* qos = dds_create_qos();
  dds_qset_reliability(qos, DDS_RELIABILITY_RELIABLE, DDS_INFINITY);
  dds_qset_durability(qos, DDS_DURABILITY_TRANSIENT_LOCAL);
  const dds_data_representation_id_t xcdr1 = DDS_DATA_REPRESENTATION_XCDR1;
  dds_qset_data_representation(qos, 1, &xcdr1);
  const dds_entity_t reader = dds_create_reader(participant_, topic, qos, nullptr);
  dds_delete_qos(qos);
  ASSERT_GT(reader, 0);

  // Transient local, depth 1: a late joiner gets the latest list only.
  rmw_dds_common::msg::ParticipantEntitiesInfo info;
  ASSERT_TRUE(wait_until([&] { return rclcpp_dds::take_one(reader, {&info}) > 0; }, kStartup));
  EXPECT_EQ(rclcpp_dds::take_one(reader, {&info}), 0);

  std::string type;
  dds_qos_t* writer_qos = nullptr;
  const rclcpp_dds::Gid info_writer =
      remote_endpoint(DDS_BUILTIN_TOPIC_DCPSPUBLICATION, "ros_discovery_info", &type, &writer_qos);
  EXPECT_EQ(type, "rmw_dds_common::msg::dds_::ParticipantEntitiesInfo_");
  ASSERT_NE(writer_qos, nullptr);
  dds_history_kind_t history;
  int32_t depth;
  dds_reliability_kind_t reliability;
  dds_duration_t blocking;
  dds_durability_kind_t durability;
  ASSERT_TRUE(dds_qget_history(writer_qos, &history, &depth));
  ASSERT_TRUE(dds_qget_reliability(writer_qos, &reliability, &blocking));
  ASSERT_TRUE(dds_qget_durability(writer_qos, &durability));
  EXPECT_EQ(history, DDS_HISTORY_KEEP_LAST);
  EXPECT_EQ(depth, 1);
  EXPECT_EQ(reliability, DDS_RELIABILITY_RELIABLE);
  EXPECT_EQ(durability, DDS_DURABILITY_TRANSIENT_LOCAL);
  dds_delete_qos(writer_qos);

  // The participant gid: the writer's GUID prefix, the participant's entity id, 8 zeros.
  rclcpp_dds::Gid participant_gid{};
  std::copy(info_writer.begin(), info_writer.begin() + 12, participant_gid.begin());
  participant_gid[14] = 0x01;
  participant_gid[15] = 0xc1;
  EXPECT_TRUE(std::equal(participant_gid.begin(), participant_gid.end(), info.gid.data.begin()));

  ASSERT_EQ(info.node_entities_info_seq.size(), 1u);
  const auto& node = info.node_entities_info_seq[0];
  EXPECT_EQ(node.node_name, "dock1");
  EXPECT_EQ(node.node_namespace, "/robot1");
  const rclcpp_dds::Gid writer =
      remote_endpoint(DDS_BUILTIN_TOPIC_DCPSPUBLICATION, "rt/robot1/cmd_vel");
  const rclcpp_dds::Gid reader_gid =
      remote_endpoint(DDS_BUILTIN_TOPIC_DCPSSUBSCRIPTION, "rt/robot1/odom");
  // Besides these, /rosout, /parameter_events (both ways) and the six parameter services.
  ASSERT_EQ(node.writer_gid_seq.size(), 9u);
  ASSERT_EQ(node.reader_gid_seq.size(), 8u);
  const auto listed = [](const auto& gids, const rclcpp_dds::Gid& gid) {
    return std::any_of(gids.begin(), gids.end(), [&](const auto& listed_gid) {
      return std::equal(gid.begin(), gid.end(), listed_gid.data.begin());
    });
  };
  EXPECT_TRUE(listed(node.writer_gid_seq, writer));
  EXPECT_TRUE(listed(node.reader_gid_seq, reader_gid));
}

}  // namespace
