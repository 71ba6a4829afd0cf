// The other process of the cross-process tests. Modes:
//   echo            republishes every message type from ping/<Type> to pong/<Type>
//   listen TOPIC    prints "received <linear.x>" for each Twist on TOPIC
//   burst TOPIC     once a subscriber matched, publishes Aligns with success
//                   1 to 10 at once and exits
//   rate HZ         runs a Rate loop, printing "tick" per period
//   serve SERVICE   answers wire_test_msgs/srv/Echo on SERVICE with the request
//                   and "pid <pid>" as the server, with the parameters QoS
//   graph           a publisher on cmd_vel (Twist, depth 7, transient local,
//                   lifespan 3 s, deadline 2 s) and a best-effort
//                   subscription on odom (Odometry), both relative
// Each mode prints "ready" once set up and ends on SIGINT/SIGTERM (or after a
// minute, so a lost test never leaves it behind) with "stopped".
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "message_samples.hpp"
#include "rclcpp/rclcpp.hpp"
#include "wire_test_msgs/srv/echo.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kLifetime = std::chrono::seconds(60);

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
    std::vector<rclcpp::SubscriptionBase::SharedPtr> echoes;
    message_samples::for_each(
        message_samples::Samples(), [&](const auto& sample, const char* type_name) {
          using M = std::decay_t<decltype(sample)>;
          auto pub = node->create_publisher<M>(message_samples::echo_topic("pong", type_name), 10);
          echoes.push_back(
              node->create_subscription<M>(message_samples::echo_topic("ping", type_name), 10,
                                           [pub](std::shared_ptr<M> msg) { pub->publish(*msg); }));
        });
    std::cout << "ready" << std::endl;
    spin_until_shutdown(node);
  } else if (mode == "listen") {
    auto sub = node->create_subscription<geometry_msgs::msg::Twist>(
        arg, 10, [](const geometry_msgs::msg::Twist& msg) {
          std::cout << "received " << msg.linear.x << std::endl;
        });
    std::cout << "ready " << sub->get_topic_name() << std::endl;
    spin_until_shutdown(node);
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
  } else if (mode == "graph") {
    auto pub = node->create_publisher<geometry_msgs::msg::Twist>(
        "cmd_vel", rclcpp::QoS(7)
                       .transient_local()
                       .lifespan(std::chrono::seconds(3))
                       .deadline(std::chrono::seconds(2)));
    auto sub = node->create_subscription<nav_msgs::msg::Odometry>(
        "odom", rclcpp::QoS(5).best_effort(), [](const nav_msgs::msg::Odometry&) {});
    std::cout << "ready " << node->get_fully_qualified_name() << std::endl;
    spin_until_shutdown(node);
  } else if (mode == "rate") {
    rclcpp::Rate rate(std::atof(arg.c_str()));
    std::cout << "ready" << std::endl;
    const auto end = Clock::now() + kLifetime;
    while (rclcpp::ok() && Clock::now() < end) {
      std::cout << "tick" << std::endl;
      rate.sleep();
    }
  } else if (mode == "serve") {
    using Echo = wire_test_msgs::srv::Echo;
    const std::string server = "pid " + std::to_string(getpid());
    auto service = node->create_service<Echo>(
        arg,
        [&server](const std::shared_ptr<Echo::Request> request,
                  std::shared_ptr<Echo::Response> response) {
          response->id = request->id;
          response->data = request->data;
          response->text = request->text;
          response->server = server;
        },
        rclcpp::ParametersQoS());
    std::cout << "ready " << service->get_service_name() << std::endl;
    spin_until_shutdown(node);
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
