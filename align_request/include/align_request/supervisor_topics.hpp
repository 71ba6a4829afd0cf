#pragma once

#include <functional>

#include <geometry_msgs/msg/pose_stamped.hpp>
#include <geometry_msgs/msg/twist.hpp>
#include <nav_msgs/msg/odometry.hpp>
#include <quorvane_protocol/msg/align.hpp>
#include <rclcpp/rclcpp.hpp>

#include "align_request/retry_supervisor.hpp"

namespace align_request {

// The supervisor on align_controller's topics, for either of its shells: what
// it sends goes out on /align_request and /cmd_vel, what it says to standard
// output; the camera's poses, odometry and the controller's results come in.
class SupervisorTopics : public SupervisorOutputs {
 public:
  using Align = quorvane_protocol::msg::Align;

  explicit SupervisorTopics(rclcpp::Node& node);

  // Delivers what comes in to supervisor, stamped with now(); on_result sees
  // each result after the supervisor. Values that are not finite are dropped.
  void feed(RetrySupervisor& supervisor, std::function<double()> now,
            std::function<void(const Align&)> on_result = {});

  void request(int enable, int action, int success) override;
  // A command that is not finite goes out as a zero.
  void velocity(double linear_x, double angular_z) override;
  void line(const std::string& text) override;

  // align_controller is there: it reads /align_request and publishes
  // /align_result, so neither a request nor its answer is lost.
  bool controller_discovered() const;

 private:
  rclcpp::Node& node_;
  rclcpp::Publisher<Align>::SharedPtr request_pub_;
  rclcpp::Publisher<geometry_msgs::msg::Twist>::SharedPtr cmd_pub_;
  rclcpp::Subscription<Align>::SharedPtr result_sub_;
  rclcpp::Subscription<geometry_msgs::msg::PoseStamped>::SharedPtr pose_sub_;
  rclcpp::Subscription<nav_msgs::msg::Odometry>::SharedPtr odom_sub_;
};

}  // namespace align_request
