// A node for ros2_lite to look at: publishes chatter (Twist, depth 7,
// transient local, lifespan 3 s) and _debug/state, subscribes to cmd_in
// (best effort), all relative. Prints "ready <fully qualified name>" and
// runs until SIGINT/SIGTERM, or a minute at most.
#include <chrono>
#include <iostream>

#include "geometry_msgs/msg/twist.hpp"
#include "rclcpp/rclcpp.hpp"

int main(int argc, char** argv) {
  rclcpp::init(argc, argv);
  auto node = std::make_shared<rclcpp::Node>("talker");
  auto chatter = node->create_publisher<geometry_msgs::msg::Twist>(
      "chatter", rclcpp::QoS(7).transient_local().lifespan(std::chrono::seconds(3)));
  auto state = node->create_publisher<geometry_msgs::msg::Twist>("_debug/state", 10);
  auto cmd_in = node->create_subscription<geometry_msgs::msg::Twist>(
      "cmd_in", rclcpp::QoS(10).best_effort(), [](const geometry_msgs::msg::Twist&) {});
  std::cout << "ready " << node->get_fully_qualified_name() << std::endl;
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (rclcpp::ok() && std::chrono::steady_clock::now() < end) {
    rclcpp::spin_some(node);
    rclcpp::sleep_for(std::chrono::milliseconds(10));
  }
  rclcpp::shutdown();
  return 0;
}
