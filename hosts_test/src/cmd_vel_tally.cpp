// cmd_vel_tally: counts the /cmd_vel commands that reach it and prints the
// count when it ends (SIGINT or SIGTERM, once the commands have stopped).
// Beside the controller it counts what was sent, beside the base what arrived.
#include <cstdio>
#include <iostream>
#include <memory>

#include <geometry_msgs/msg/twist.hpp>
#include <rclcpp/rclcpp.hpp>

int main(int argc, char** argv) {
  try {
    rclcpp::init(argc, argv);
    auto node = std::make_shared<rclcpp::Node>("cmd_vel_tally");
    long count = 0;
    // Deep enough that a burst never overwrites a command not yet taken.
    auto sub = node->create_subscription<geometry_msgs::msg::Twist>(
        "/cmd_vel", rclcpp::QoS(1000), [&count](geometry_msgs::msg::Twist::SharedPtr) { ++count; });
    std::printf("cmd_vel_tally: counting\n");
    std::fflush(stdout);
    rclcpp::WallRate rate(200.0);
    bool matched = false;
    while (rclcpp::ok()) {
      rclcpp::spin_some(node);
      // A volatile writer's commands reach this reader only from here on.
      if (!matched && sub->get_publisher_count() > 0) {
        matched = true;
        std::printf("cmd_vel_tally: publisher matched\n");
        std::fflush(stdout);
      }
      rate.sleep();
    }
    std::printf("cmd_vel_tally: %ld commands\n", count);
    std::fflush(stdout);
  } catch (const std::exception& e) {
    std::cerr << "cmd_vel_tally: " << e.what() << std::endl;
    rclcpp::shutdown();
    return 1;
  }
  rclcpp::shutdown();
  return 0;
}
