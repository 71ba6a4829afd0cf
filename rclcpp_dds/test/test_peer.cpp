// The other process of the cross-process tests. Modes:
//   echo            republishes every message type from ping/<type> to pong/<type>
//   listen TOPIC    prints "received <linear.x>" for each Twist on TOPIC
//   talk TOPIC      publishes Twists with linear.x = 1, 2, ... every 50 ms
//   burst TOPIC     once a subscriber matched, publishes Aligns with success
//                   1 to 10 at once and exits
//   rate HZ         runs a Rate loop, printing "tick" per period
// Each mode prints "ready" once set up and ends on SIGINT/SIGTERM (or after a
// minute, so a lost test never leaves it behind) with "stopped".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "builtin_interfaces/msg/time.hpp"
#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/pose_with_covariance.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "geometry_msgs/msg/twist_with_covariance.hpp"
#include "geometry_msgs/msg/vector3.hpp"
#include "nav_msgs/msg/odometry.hpp"
#include "quorvane_protocol/msg/align.hpp"
#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/header.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kLifetime = std::chrono::seconds(60);

class Echo {
 public:
  explicit Echo(const rclcpp::Node::SharedPtr& node) : node_(node) {
    add<builtin_interfaces::msg::Time>("time");
    add<std_msgs::msg::Header>("header");
    add<geometry_msgs::msg::Point>("point");
    add<geometry_msgs::msg::Quaternion>("quaternion");
    add<geometry_msgs::msg::Pose>("pose");
    add<geometry_msgs::msg::PoseStamped>("pose_stamped");
    add<geometry_msgs::msg::Vector3>("vector3");
    add<geometry_msgs::msg::Twist>("twist");
    add<geometry_msgs::msg::PoseWithCovariance>("pose_with_covariance");
    add<geometry_msgs::msg::TwistWithCovariance>("twist_with_covariance");
    add<nav_msgs::msg::Odometry>("odometry");
    add<quorvane_protocol::msg::Align>("align");
  }

 private:
  template <class M>
  void add(const std::string& name) {
    auto publisher = node_->create_publisher<M>("pong/" + name, 10);
    subscriptions_.push_back(node_->create_subscription<M>(
        "ping/" + name, 10, [publisher](std::shared_ptr<M> msg) { publisher->publish(*msg); }));
  }

  rclcpp::Node::SharedPtr node_;
  std::vector<rclcpp::SubscriptionBase::SharedPtr> subscriptions_;
};

void spin_until_shutdown(const rclcpp::Node::SharedPtr& node) {
  const auto end = Clock::now() + kLifetime;
  while (rclcpp::ok() && Clock::now() < end) {
    rclcpp::spin_some(node);
    rclcpp::sleep_for(std::chrono::milliseconds(2));
  }
}

int run(const std::string& mode, const std::string& arg) {
  auto node = std::make_shared<rclcpp::Node>("test_peer");
  if (mode == "echo") {
    Echo echo(node);
    std::cout << "ready" << std::endl;
    spin_until_shutdown(node);
  } else if (mode == "listen") {
    auto sub = node->create_subscription<geometry_msgs::msg::Twist>(
        arg, 10, [](const geometry_msgs::msg::Twist& msg) {
          std::cout << "received " << msg.linear.x << std::endl;
        });
    std::cout << "ready " << sub->get_topic_name() << std::endl;
    spin_until_shutdown(node);
  } else if (mode == "talk") {
    auto pub = node->create_publisher<geometry_msgs::msg::Twist>(arg, 10);
    std::cout << "ready " << pub->get_topic_name() << std::endl;
    geometry_msgs::msg::Twist msg;
    const auto end = Clock::now() + kLifetime;
    while (rclcpp::ok() && Clock::now() < end) {
      msg.linear.x += 1.0;
      pub->publish(msg);
      rclcpp::sleep_for(std::chrono::milliseconds(50));
    }
  } else if (mode == "burst") {
    auto pub = node->create_publisher<quorvane_protocol::msg::Align>(arg, 10);
    std::cout << "ready " << pub->get_topic_name() << std::endl;
    const auto end = Clock::now() + kLifetime;
    while (pub->get_subscription_count() == 0 && rclcpp::ok() && Clock::now() < end) {
      rclcpp::sleep_for(std::chrono::milliseconds(5));
    }
    quorvane_protocol::msg::Align msg;
    for (msg.success = 1; msg.success <= 10; ++msg.success) {
      pub->publish(msg);
    }
    // Shutting down lets the writer linger until the subscriber acknowledged all.
  } else if (mode == "rate") {
    rclcpp::Rate rate(std::atof(arg.c_str()));
    std::cout << "ready" << std::endl;
    const auto end = Clock::now() + kLifetime;
    while (rclcpp::ok() && Clock::now() < end) {
      std::cout << "tick" << std::endl;
      rate.sleep();
    }
  } else {
    std::cerr << "unknown mode " << mode << std::endl;
    return 2;
  }
  std::cout << "stopped" << std::endl;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    rclcpp::init(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    const std::string arg = argc > 2 ? argv[2] : "";
    const int status = run(mode, arg);
    rclcpp::shutdown();
    return status;
  } catch (const std::exception& e) {
    std::cerr << e.what() << std::endl;
    return 1;
  }
}
