// A node for ros2_lite to look at: publishes chatter (Twist, depth 7,
// transient local, lifespan 3 s) and _debug/state, subscribes to cmd_in
// (best effort), all relative. Prints "ready <fully qualified name>" and
// runs until SIGINT/SIGTERM, or a minute at most. With "services" first: also the
// wire_test_msgs/srv/Echo services `echo`, which answers, and `stall`, which holds
// the peer in its callback for 30 s and so answers nothing in time.
#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>

#include "geometry_msgs/msg/twist.hpp"
#include "rclcpp/rclcpp.hpp"
#include "wire_test_msgs/srv/echo.hpp"

using wire_test_msgs::srv::Echo;

int main(int argc, char** argv) {
  const bool services = argc > 1 && std::strcmp(argv[1], "services") == 0;
  rclcpp::init(argc, argv);
  auto node = std::make_shared<rclcpp::Node>("talker");
  rclcpp::Service<Echo>::SharedPtr echo, stall;
  if (services) {
    echo = node->create_service<Echo>("echo", [](const std::shared_ptr<Echo::Request> request,
                                                 std::shared_ptr<Echo::Response> response) {
      response->id = request->id;
      response->data = request->data;
      response->text = request->text;
      response->server = "talker";
    });
    stall = node->create_service<Echo>(
        "stall", [](const std::shared_ptr<Echo::Request>, std::shared_ptr<Echo::Response>) {
          std::this_thread::sleep_for(std::chrono::seconds(30));
        });
  }
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
