// Publishers, subscriptions, spin_some and parameters within one process, and
// what the layer's participant and endpoints show other DDS participants.
#include <dds/dds.h>
#include <dds/ddsi/ddsi_serdata.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "quorvane_protocol/msg/align.hpp"
#include "rclcpp/rclcpp.hpp"
#include "sertype.hpp"
#include "test_support/child_process.hpp"

namespace {

using quorvane_protocol::msg::Align;
using std::chrono::milliseconds;
using test_support::wait_until;

class PubSub : public testing::Test {
 protected:
  void init(const char* domain_id, std::vector<const char*> args = {}) {
    setenv("ROS_DOMAIN_ID", domain_id, 1);
    args.insert(args.begin(), "test_pub_sub");
    rclcpp::init(static_cast<int>(args.size()), args.data());
  }
  void TearDown() override { rclcpp::shutdown(); }
};

// Spins node until cond holds, for up to 5 s.
bool spin_until(const rclcpp::Node::SharedPtr& node, const std::function<bool()>& cond) {
  return wait_until(
      [&] {
        rclcpp::spin_some(node);
        return cond();
      },
      milliseconds(5000));
}

TEST_F(PubSub, SpinSomeDeliversOneMessagePerSubscriptionInCreationOrder) {
  init("15");
  auto node = std::make_shared<rclcpp::Node>("order");
  std::vector<std::string> calls;
  auto record = [&](std::string topic) {
    return [&calls, topic](Align::SharedPtr m) {
      calls.push_back(topic + std::to_string(m->success));
    };
  };
  auto first = node->create_subscription<Align>("first", 10, record("first"));
  auto second = node->create_subscription<Align>("second", 10, record("second"));
  auto pub_first = node->create_publisher<Align>("first", 10);
  auto pub_second = node->create_publisher<Align>("second", 10);
  ASSERT_TRUE(wait_until(
      [&] {
        return pub_first->get_subscription_count() + pub_second->get_subscription_count() == 2;
      },
      milliseconds(5000)));
  // Published second-topic first: delivery order is the subscriptions' order.
  for (int i = 1; i <= 2; ++i) {
    Align msg;
    msg.success = i;
    pub_second->publish(msg);
    pub_first->publish(msg);
  }
  ASSERT_TRUE(spin_until(node, [&] { return calls.size() >= 2; }));
  EXPECT_EQ(calls, (std::vector<std::string>{"first1", "second1"}));
  rclcpp::spin_some(node);
  EXPECT_EQ(calls, (std::vector<std::string>{"first1", "second1", "first2", "second2"}));
  rclcpp::spin_some(node);
  EXPECT_EQ(calls.size(), 4u);
}

struct Receiver {
  void on_shared(geometry_msgs::msg::Twist::SharedPtr msg) { got = msg->linear.x; }
  double got = 0.0;
};

TEST_F(PubSub, CallbackFormsOfRclcppGetMessagesUntilReleased) {
  using Twist = geometry_msgs::msg::Twist;
  init("16");
  auto node = std::make_shared<rclcpp::Node>("forms");
  Receiver member;
  std::vector<double> got(3, 0.0);
  std::vector<rclcpp::SubscriptionBase::SharedPtr> subs{
      node->create_subscription<Twist>(
          "/t", 10, std::bind(&Receiver::on_shared, &member, std::placeholders::_1)),
      node->create_subscription<Twist>("/t", 10, [&](const Twist& m) { got[0] = m.linear.x; }),
      node->create_subscription<Twist>("/t", 10,
                                       [&](Twist::ConstSharedPtr m) { got[1] = m->linear.x; }),
      node->create_subscription<Twist>("/t", 10,
                                       [&](Twist::UniquePtr m) { got[2] = m->linear.x; })};
  auto pub = node->create_publisher<Twist>("/t", 10);
  ASSERT_TRUE(wait_until([&] { return pub->get_subscription_count() == 4; }, milliseconds(5000)));
  Twist msg;
  msg.linear.x = 0.5;
  pub->publish(msg);
  EXPECT_TRUE(spin_until(node, [&] { return member.got == 0.5 && got == std::vector(3, 0.5); }));
  // Released subscriptions get nothing more (and their callbacks are not called).
  subs.clear();
  ASSERT_TRUE(wait_until([&] { return pub->get_subscription_count() == 0; }, milliseconds(5000)));
  msg.linear.x = 1.0;
  pub->publish(msg);
  rclcpp::spin_some(node);
  EXPECT_EQ(member.got, 0.5);
  EXPECT_EQ(got, std::vector(3, 0.5));
}

TEST_F(PubSub, TopicNamesResolveAgainstNamespaceAndRemaps) {
  init("17", {"--ros-args", "-r", "/cmd_vel:=/robot1/cmd_vel", "-r", "__ns:=/fleet"});
  auto node = std::make_shared<rclcpp::Node>("names", "/ignored");
  EXPECT_STREQ(node->get_fully_qualified_name(), "/fleet/names");
  EXPECT_STREQ(node->create_publisher<Align>("/cmd_vel", 10)->get_topic_name(), "/robot1/cmd_vel");
  EXPECT_STREQ(
      node->create_subscription<Align>("status", 1, [](Align::SharedPtr) {})->get_topic_name(),
      "/fleet/status");
}

// Defaults, a parameter file and -p (the later source winning) reach the node.
TEST_F(PubSub, ParametersReachTheNode) {
  const auto file = std::filesystem::temp_directory_path() /
                    ("test_pub_sub_params_" + std::to_string(getpid()) + ".yaml");
  std::ofstream(file) << "params:\n  ros__parameters:\n    gain: 1.5\n    from_file: 2.5\n";
  const std::string path = file.string();
  init("30", {"--ros-args", "--params-file", path.c_str(), "-p", "gain:=4.0", "-p",
              "trigger_mode:=4", "-p", "name:=dock"});
  std::filesystem::remove(file);
  auto node = std::make_shared<rclcpp::Node>("params");
  EXPECT_EQ(node->declare_parameter<double>("gain", 1.0), 4.0);
  EXPECT_EQ(node->declare_parameter("from_file", 0.0), 2.5);
  EXPECT_EQ(node->declare_parameter("kept", 0.25), 0.25);
  EXPECT_EQ(node->declare_parameter<std::string>("name", "none"), "dock");
  EXPECT_EQ(node->declare_parameter("count", 3), 3);
  EXPECT_EQ(node->declare_parameter("flag", true), true);
  try {
    node->declare_parameter("trigger_mode", 3.0);
    ADD_FAILURE() << "integer override of a double accepted";
  } catch (const rclcpp::exceptions::InvalidParameterTypeException& e) {
    EXPECT_STREQ(e.what(),
                 "parameter 'trigger_mode' has invalid type: Wrong parameter type, parameter "
                 "{trigger_mode} is of type {double}, setting it to {integer} is not allowed.");
  }
  double gain = 0.0;
  EXPECT_TRUE(node->get_parameter("gain", gain));
  EXPECT_EQ(gain, 4.0);
  double missing = 7.0;
  EXPECT_FALSE(node->get_parameter("missing", missing));
  EXPECT_EQ(missing, 7.0);
  EXPECT_EQ(node->get_parameter("count").as_int(), 3);
  EXPECT_THROW(node->get_parameter("missing"), rclcpp::exceptions::ParameterNotDeclaredException);
  EXPECT_THROW(node->declare_parameter("gain", 1.0),
               rclcpp::exceptions::ParameterAlreadyDeclaredException);
}

// Reads a discovery built-in topic of observer until check accepts a sample.
template <class Sample, class Check>
bool discover(dds_entity_t observer, dds_entity_t builtin_topic, Check check) {
  const dds_entity_t reader = dds_create_reader(observer, builtin_topic, nullptr, nullptr);
  bool found = false;
  wait_until(
      [&] {
        void* samples[16] = {};
        dds_sample_info_t infos[16];
        const dds_return_t n = dds_take(reader, samples, infos, 16, 16);
        for (dds_return_t i = 0; i < n; ++i) {
          found = found || (infos[i].valid_data && check(*static_cast<const Sample*>(samples[i])));
        }
        if (n > 0) {
          dds_return_loan(reader, samples, n);
        }
        return found;
      },
      milliseconds(10000));
  return found;
}

// A second participant in this process sees the layer's participant with
// the USER_DATA of ROS 2's.
TEST_F(PubSub, ParticipantCarriesTheRos2Enclave) {
  auto expect_user_data = [](uint32_t domain_id, const std::string& expected) {
    const dds_entity_t observer = dds_create_participant(domain_id, nullptr, nullptr);
    EXPECT_TRUE(discover<dds_builtintopic_participant_t>(
        observer, DDS_BUILTIN_TOPIC_DCPSPARTICIPANT,
        [&](const auto& participant) {
          void* data = nullptr;
          size_t size = 0;
          const bool match = dds_qget_userdata(participant.qos, &data, &size) &&
                             std::string(static_cast<char*>(data), size) == expected;
          dds_free(data);
          return match;
        }))
        << expected;
    dds_delete(observer);
  };
  init("12");
  expect_user_data(12, "enclave=/;");
  rclcpp::shutdown();
  init("10", {"--ros-args", "--enclave", "/robot1/controller"});
  expect_user_data(10, "enclave=/robot1/controller;");
}

// What a ROS 2 peer sees of a publisher and a subscription: names and QoS in
// discovery, and for data plain CDR: encapsulation XCDR1 little endian, 8-byte
// alignment for doubles, strings as length + text + NUL.
TEST_F(PubSub, EndpointsFollowRos2sWireConventions) {
  init("18");
  auto node = std::make_shared<rclcpp::Node>("wire");
  auto pub = node->create_publisher<geometry_msgs::msg::PoseStamped>("/docking_pose", 10);
  auto sub = node->create_subscription<geometry_msgs::msg::Twist>(
      "/cmd_vel", 1, [](geometry_msgs::msg::Twist::SharedPtr) {});
  const dds_entity_t observer = dds_create_participant(18, nullptr, nullptr);
  ASSERT_GT(observer, 0);
  auto endpoint = [&](dds_entity_t builtin_topic, const std::string& topic) {
    std::string seen = "not seen";
    discover<dds_builtintopic_endpoint_t>(observer, builtin_topic, [&](const auto& e) {
      if (topic != e.topic_name) {
        return false;
      }
      dds_reliability_kind_t reliability = DDS_RELIABILITY_BEST_EFFORT;
      dds_durability_kind_t durability = DDS_DURABILITY_PERSISTENT;
      uint32_t count = 0;
      dds_data_representation_id_t* ids = nullptr;
      dds_qget_reliability(e.qos, &reliability, nullptr);
      dds_qget_durability(e.qos, &durability);
      dds_qget_data_representation(e.qos, &count, &ids);
      seen = std::string(e.type_name) +
             (reliability == DDS_RELIABILITY_RELIABLE ? " reliable" : " best effort") +
             (durability == DDS_DURABILITY_VOLATILE ? " volatile" : " durable");
      for (uint32_t i = 0; i < count; ++i) {
        seen += ids[i] == DDS_DATA_REPRESENTATION_XCDR1 ? " XCDR1" : " XCDR2";
      }
      dds_free(ids);
      return true;
    });
    return seen;
  };
  EXPECT_EQ(endpoint(DDS_BUILTIN_TOPIC_DCPSPUBLICATION, "rt/docking_pose"),
            "geometry_msgs::msg::dds_::PoseStamped_ reliable volatile XCDR1");
  EXPECT_EQ(endpoint(DDS_BUILTIN_TOPIC_DCPSSUBSCRIPTION, "rt/cmd_vel"),
            "geometry_msgs::msg::dds_::Twist_ reliable volatile XCDR1");

  const dds_entity_t reader =
      dds_create_reader(observer,
                        rclcpp_dds::create_topic(
                            observer, "rt/docking_pose",
                            rclcpp_dds::message_members<geometry_msgs::msg::PoseStamped>(), false),
                        nullptr, nullptr);
  ASSERT_GT(reader, 0);
  ASSERT_TRUE(wait_until([&] { return pub->get_subscription_count() == 1; }, milliseconds(5000)));
  geometry_msgs::msg::PoseStamped msg;
  msg.header.stamp.sec = 1;
  msg.header.stamp.nanosec = 2;
  msg.header.frame_id = "base";
  msg.pose.position.x = 1.0;
  msg.pose.position.y = -2.0;
  msg.pose.position.z = 0.5;
  pub->publish(msg);
  std::vector<unsigned char> bytes;
  ASSERT_TRUE(wait_until(
      [&] {
        ddsi_serdata* data = nullptr;
        dds_sample_info_t info;
        if (dds_takecdr(reader, &data, 1, &info, 0) != 1) {
          return false;
        }
        bytes.resize(ddsi_serdata_size(data));
        ddsi_serdata_to_ser(data, 0, bytes.size(), bytes.data());
        ddsi_serdata_unref(data);
        return true;
      },
      milliseconds(5000)));
  std::vector<unsigned char> expected;
  auto put = [&](std::initializer_list<unsigned char> b) { expected.insert(expected.end(), b); };
  put({0x00, 0x01, 0x00, 0x00});  // XCDR1, little endian
  put({1, 0, 0, 0});              // stamp.sec
  put({2, 0, 0, 0});              // stamp.nanosec
  put({5, 0, 0, 0});              // frame_id length, NUL included
  put({'b', 'a', 's', 'e', 0});
  put({0, 0, 0, 0, 0, 0, 0});  // to a multiple of 8 for the doubles
  for (double v : {1.0, -2.0, 0.5, 0.0, 0.0, 0.0, 1.0}) {
    unsigned char b[8];
    std::memcpy(b, &v, 8);  // the test host is little endian, as the wire is
    expected.insert(expected.end(), b, b + 8);
  }
  EXPECT_EQ(bytes, expected);
  dds_delete(observer);
}

}  // namespace
