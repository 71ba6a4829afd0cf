// cmd_vel_tally: counts the /cmd_vel commands that reach it and prints the
// count when it ends (SIGINT or SIGTERM, once the commands have stopped).
// Beside the controller and beside the base it shows what crossed the link.
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
        "/cmd_vel", rclcpp::QoS(1000), [&count](geometry_msgs::msg::Twist::SharedPtr) {
          // From here on every command of a matched writer arrives, or is lost.
          if (count++ == 0) {
            std::printf("cmd_vel_tally: first command\n");
            std::fflush(stdout);
          }
        });
    std::printf("cmd_vel_tally: counting\n");
    std::fflush(stdout);
    rclcpp::WallRate rate(200.0);
    while (rclcpp::ok()) {
      rclcpp::spin_some(node);
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
