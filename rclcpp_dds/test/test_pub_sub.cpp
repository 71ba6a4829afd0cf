// Publishers, subscriptions and spin_some within one process, and what the
// layer's endpoints advertise to other DDS participants.
#include <dds/dds.h>
#include <dds/ddsi/ddsi_serdata.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "quorvane_protocol/msg/align.hpp"
#include "rclcpp/rclcpp.hpp"
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

  static Align align(int32_t success) {
    Align msg;
    msg.enable = 1;
    msg.success = success;
    return msg;
  }
};

TEST_F(PubSub, SpinSomeDeliversOneMessagePerSubscriptionInCreationOrder) {
  init("15");
  auto node = std::make_shared<rclcpp::Node>("order");
  std::vector<std::string> calls;
  auto first = node->create_subscription<Align>("first", 10, [&](Align::SharedPtr m) {
    calls.push_back("first" + std::to_string(m->success));
  });
  auto second = node->create_subscription<Align>("second", 10, [&](Align::SharedPtr m) {
    calls.push_back("second" + std::to_string(m->success));
  });
  auto pub_first = node->create_publisher<Align>("first", 10);
  auto pub_second = node->create_publisher<Align>("second", 10);
  ASSERT_TRUE(wait_until(
      [&] {
        return pub_first->get_subscription_count() == 1 &&
               pub_second->get_subscription_count() == 1;
      },
      milliseconds(5000)));
  // Published second-topic first: delivery order is the subscriptions' order.
  for (int i = 1; i <= 2; ++i) {
    pub_second->publish(align(i));
    pub_first->publish(align(i));
  }
  ASSERT_TRUE(wait_until(
      [&] {
        rclcpp::spin_some(node);
        return calls.size() >= 2;
      },
      milliseconds(5000)));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls, (std::vector<std::string>{"first1", "second1"}));
  rclcpp::spin_some(node);
  EXPECT_EQ(calls, (std::vector<std::string>{"first1", "second1", "first2", "second2"}));
  rclcpp::spin_some(node);
  EXPECT_EQ(calls.size(), 4u);
}

class Receiver {
 public:
  void on_shared(geometry_msgs::msg::Twist::SharedPtr msg) { shared = msg->linear.x; }
  void on_ref(const geometry_msgs::msg::Twist& msg) { ref = msg.linear.x; }

  double shared = 0.0;
  double ref = 0.0;
};

TEST_F(PubSub, AcceptsTheCallbackFormsOfRclcpp) {
  init("16");
  auto node = std::make_shared<rclcpp::Node>("forms");
  Receiver receiver;
  double const_shared = 0.0;
  double unique = 0.0;
  using std::placeholders::_1;
  using Twist = geometry_msgs::msg::Twist;
  std::vector<rclcpp::SubscriptionBase::SharedPtr> subs{
      node->create_subscription<Twist>("/t", 10, std::bind(&Receiver::on_shared, &receiver, _1)),
      node->create_subscription<Twist>("/t", 10, std::bind(&Receiver::on_ref, &receiver, _1)),
      node->create_subscription<Twist>(
          "/t", 10, [&](Twist::ConstSharedPtr msg) { const_shared = msg->linear.x; }),
      node->create_subscription<Twist>("/t", 10,
                                       [&](Twist::UniquePtr msg) { unique = msg->linear.x; })};
  auto pub = node->create_publisher<Twist>("/t", 10);
  ASSERT_TRUE(wait_until([&] { return pub->get_subscription_count() == 4; }, milliseconds(5000)));
  Twist msg;
  msg.linear.x = 0.5;
  pub->publish(msg);
  ASSERT_TRUE(wait_until(
      [&] {
        rclcpp::spin_some(node);
        return receiver.shared != 0.0 && receiver.ref != 0.0 && const_shared != 0.0 &&
               unique != 0.0;
      },
      milliseconds(5000)));
  EXPECT_EQ(receiver.shared, 0.5);
  EXPECT_EQ(receiver.ref, 0.5);
  EXPECT_EQ(const_shared, 0.5);
  EXPECT_EQ(unique, 0.5);
}

TEST_F(PubSub, ReleasedSubscriptionGetsNothing) {
  init("29");
  auto node = std::make_shared<rclcpp::Node>("released");
  int calls = 0;
  auto sub = node->create_subscription<Align>("/a", 10, [&](Align::SharedPtr) { ++calls; });
  auto pub = node->create_publisher<Align>("/a", 10);
  ASSERT_TRUE(wait_until([&] { return pub->get_subscription_count() == 1; }, milliseconds(5000)));
  sub.reset();
  ASSERT_TRUE(wait_until([&] { return pub->get_subscription_count() == 0; }, milliseconds(5000)));
  pub->publish(align(1));
  rclcpp::spin_some(node);
  EXPECT_EQ(calls, 0);
}

TEST_F(PubSub, TopicNamesResolveAgainstNamespaceAndRemaps) {
  init("17", {"--ros-args", "-r", "/cmd_vel:=/robot1/cmd_vel", "-r", "__ns:=/fleet"});
  auto node = std::make_shared<rclcpp::Node>("names", "/ignored");
  EXPECT_STREQ(node->get_namespace(), "/fleet");
  EXPECT_STREQ(node->get_fully_qualified_name(), "/fleet/names");
  EXPECT_STREQ(node->create_publisher<Align>("/cmd_vel", 10)->get_topic_name(), "/robot1/cmd_vel");
  EXPECT_STREQ(node->create_publisher<Align>("status", 10)->get_topic_name(), "/fleet/status");
  EXPECT_STREQ(node->create_subscription<Align>("/align_request", 1, [](Align::SharedPtr) {})
                   ->get_topic_name(),
               "/align_request");
}

TEST_F(PubSub, ParametersComeFromTheCommandLine) {
  init("30", {"--ros-args", "-p", "gain:=4.0", "-p", "trigger_mode:=4", "-p", "name:=dock"});
  auto node = std::make_shared<rclcpp::Node>("params");
  EXPECT_EQ(node->declare_parameter<double>("gain", 1.0), 4.0);
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

// What a ROS 2 peer's discovery sees of a publisher and a subscription.
TEST_F(PubSub, EndpointsAdvertiseRos2NamesAndQos) {
  init("18");
  auto node = std::make_shared<rclcpp::Node>("wire");
  auto pub = node->create_publisher<geometry_msgs::msg::Twist>("/cmd_vel", 10);
  auto sub = node->create_subscription<geometry_msgs::msg::PoseStamped>(
      "/docking_pose", 1, [](geometry_msgs::msg::PoseStamped::SharedPtr) {});

  const dds_entity_t observer = dds_create_participant(18, nullptr, nullptr);
  ASSERT_GT(observer, 0);
  struct Seen {
    std::string type_name;
    dds_reliability_kind_t reliability = DDS_RELIABILITY_BEST_EFFORT;
    dds_durability_kind_t durability = DDS_DURABILITY_PERSISTENT;
    std::vector<dds_data_representation_id_t> representations;
  };
  auto find = [&](dds_entity_t builtin_topic, const std::string& topic) {
    const dds_entity_t reader = dds_create_reader(observer, builtin_topic, nullptr, nullptr);
    Seen seen;
    wait_until(
        [&] {
          void* samples[16] = {};
          dds_sample_info_t infos[16];
          const dds_return_t n = dds_read(reader, samples, infos, 16, 16);
          for (dds_return_t i = 0; i < n; ++i) {
            const auto* e = static_cast<const dds_builtintopic_endpoint_t*>(samples[i]);
            if (infos[i].valid_data && e->topic_name == topic) {
              seen.type_name = e->type_name;
              dds_qget_reliability(e->qos, &seen.reliability, nullptr);
              dds_qget_durability(e->qos, &seen.durability);
              uint32_t count = 0;
              dds_data_representation_id_t* ids = nullptr;
              if (dds_qget_data_representation(e->qos, &count, &ids)) {
                seen.representations.assign(ids, ids + count);
                dds_free(ids);
              }
            }
          }
          if (n > 0) {
            dds_return_loan(reader, samples, n);
          }
          return !seen.type_name.empty();
        },
        milliseconds(10000));
    return seen;
  };

  auto expect_ros2 = [](const Seen& seen, const std::string& type_name) {
    EXPECT_EQ(seen.type_name, type_name);
    EXPECT_EQ(seen.reliability, DDS_RELIABILITY_RELIABLE);
    EXPECT_EQ(seen.durability, DDS_DURABILITY_VOLATILE);
    EXPECT_EQ(seen.representations,
              std::vector<dds_data_representation_id_t>{DDS_DATA_REPRESENTATION_XCDR1});
  };
  expect_ros2(find(DDS_BUILTIN_TOPIC_DCPSPUBLICATION, "rt/cmd_vel"),
              "geometry_msgs::msg::dds_::Twist_");
  expect_ros2(find(DDS_BUILTIN_TOPIC_DCPSSUBSCRIPTION, "rt/docking_pose"),
              "geometry_msgs::msg::dds_::PoseStamped_");
  dds_delete(observer);
}

// The bytes a ROS 2 peer receives: encapsulation XCDR1 little endian, then
// plain CDR with 8-byte alignment for doubles, strings as length + text + NUL.
TEST_F(PubSub, WireBytesArePlainLittleEndianCdr) {
  init("31");
  auto node = std::make_shared<rclcpp::Node>("bytes");
  auto pub = node->create_publisher<geometry_msgs::msg::PoseStamped>("/docking_pose", 10);

  const dds_entity_t observer = dds_create_participant(31, nullptr, nullptr);
  ASSERT_GT(observer, 0);
  const auto* descriptor = static_cast<const dds_topic_descriptor_t*>(
      rclcpp_dds::type_support<geometry_msgs::msg::PoseStamped>().descriptor);
  const dds_entity_t topic =
      dds_create_topic(observer, descriptor, "rt/docking_pose", nullptr, nullptr);
  const dds_entity_t reader = dds_create_reader(observer, topic, nullptr, nullptr);
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
