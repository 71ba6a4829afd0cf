#include "align_request/supervisor_topics.hpp"

#include <cmath>
#include <cstdio>
#include <utility>

namespace align_request {

using geometry_msgs::msg::PoseStamped;
using geometry_msgs::msg::Twist;
using nav_msgs::msg::Odometry;

SupervisorTopics::SupervisorTopics(rclcpp::Node& node)
    : node_(node),
      request_pub_(node.create_publisher<Align>("/align_request", rclcpp::QoS(10))),
      cmd_pub_(node.create_publisher<Twist>("/cmd_vel", rclcpp::QoS(10))) {}

void SupervisorTopics::feed(RetrySupervisor& supervisor, std::function<double()> now,
                            std::function<void(const Align&)> on_result) {
  result_sub_ = node_.create_subscription<Align>(
      "/align_result", rclcpp::QoS(10),
      [&supervisor, now, on_result = std::move(on_result)](Align::SharedPtr m) {
        supervisor.result(now(), m->enable, m->action, m->success);
        if (on_result) {
          on_result(*m);
        }
      });
  pose_sub_ = node_.create_subscription<PoseStamped>(
      "/docking_pose", rclcpp::QoS(1), [&supervisor, now](PoseStamped::SharedPtr m) {
        const auto& p = m->pose.position;
        if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) {
          supervisor.camera(now(), p.x, p.y, p.z);
        }
      });
  odom_sub_ = node_.create_subscription<Odometry>(
      "/diff_bot/odom", rclcpp::QoS(1), [&supervisor, now](Odometry::SharedPtr m) {
        const auto& p = m->pose.pose.position;
        const auto& q = m->pose.pose.orientation;
        const double yaw =
            std::atan2(2.0 * (q.w * q.z + q.x * q.y), 1.0 - 2.0 * (q.y * q.y + q.z * q.z));
        if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(yaw)) {
          supervisor.odometry(now(), p.x, p.y, yaw);
        }
      });
}

void SupervisorTopics::request(int enable, int action, int success) {
  Align m;
  m.enable = enable;
  m.action = action;
  m.success = success;
  request_pub_->publish(m);
}

void SupervisorTopics::velocity(double linear_x, double angular_z) {
  Twist m;
  if (std::isfinite(linear_x) && std::isfinite(angular_z)) {
    m.linear.x = linear_x;
    m.angular.z = angular_z;
  }
  cmd_pub_->publish(m);
}

void SupervisorTopics::line(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

bool SupervisorTopics::controller_discovered() const {
  return request_pub_->get_subscription_count() > 0 && result_sub_ &&
         result_sub_->get_publisher_count() > 0;
}

}  // namespace align_request
