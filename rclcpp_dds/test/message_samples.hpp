#pragma once

// One message of each type with a distinct, awkward value in every field:
// extreme doubles, negative and maximal integers, long and non-ASCII strings.

#include <cstdint>
#include <limits>
#include <string>

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
#include "std_msgs/msg/header.hpp"

namespace message_samples {

struct Samples {
  builtin_interfaces::msg::Time time;
  std_msgs::msg::Header header;
  geometry_msgs::msg::Point point;
  geometry_msgs::msg::Quaternion quaternion;
  geometry_msgs::msg::Pose pose;
  geometry_msgs::msg::PoseStamped pose_stamped;
  geometry_msgs::msg::Vector3 vector3;
  geometry_msgs::msg::Twist twist;
  geometry_msgs::msg::PoseWithCovariance pose_with_covariance;
  geometry_msgs::msg::TwistWithCovariance twist_with_covariance;
  nav_msgs::msg::Odometry odometry;
  quorvane_protocol::msg::Align align;
};

inline Samples make() {
  Samples s;
  s.time.sec = -2147483647 - 1;
  s.time.nanosec = 4294967295u;
  s.header.stamp.sec = 1700000000;
  s.header.stamp.nanosec = 999999999u;
  s.header.frame_id = std::string(300, 'f') + " base_link \xc3\xa9";
  s.point.x = 1.5;
  s.point.y = -2.25e-300;
  s.point.z = std::numeric_limits<double>::max();
  s.quaternion.x = 0.1;
  s.quaternion.y = -0.2;
  s.quaternion.z = 0.3;
  s.quaternion.w = -0.4;
  s.pose.position = s.point;
  s.pose.orientation = s.quaternion;
  s.pose_stamped.header = s.header;
  s.pose_stamped.pose.position.x = 0.75;
  s.pose_stamped.pose.position.y = -0.125;
  s.pose_stamped.pose.position.z = 0.3;
  s.pose_stamped.pose.orientation.w = 0.5;
  s.vector3.x = -1.0 / 3.0;
  s.vector3.y = std::numeric_limits<double>::denorm_min();
  s.vector3.z = -std::numeric_limits<double>::infinity();
  s.twist.linear.x = -0.1;
  s.twist.linear.y = 0.01;
  s.twist.linear.z = 0.02;
  s.twist.angular.x = 0.03;
  s.twist.angular.y = 0.04;
  s.twist.angular.z = -0.2;
  s.pose_with_covariance.pose = s.pose;
  s.twist_with_covariance.twist = s.twist;
  for (int i = 0; i < 36; ++i) {
    s.pose_with_covariance.covariance[i] = 0.25 * i - 3.0;
    s.twist_with_covariance.covariance[i] = 1e-3 * (i + 1) * (i % 2 == 0 ? 1 : -1);
  }
  s.odometry.header.stamp.sec = 12;
  s.odometry.header.stamp.nanosec = 345;
  s.odometry.header.frame_id = "odom";
  s.odometry.child_frame_id = "base_footprint";
  s.odometry.pose = s.pose_with_covariance;
  s.odometry.twist = s.twist_with_covariance;
  s.align.enable = -1;
  s.align.action = 2;
  s.align.success = std::numeric_limits<int32_t>::max();
  return s;
}

}  // namespace message_samples
