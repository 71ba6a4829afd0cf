#pragma once

// Conversions between the C++ messages and the idlc-generated C samples,
// shared by the packages whose messages nest each other.

#include "builtin_interfaces/msg/Time.h"
#include "builtin_interfaces/msg/time.hpp"
#include "geometry_msgs/msg/Point.h"
#include "geometry_msgs/msg/Pose.h"
#include "geometry_msgs/msg/PoseWithCovariance.h"
#include "geometry_msgs/msg/Quaternion.h"
#include "geometry_msgs/msg/Twist.h"
#include "geometry_msgs/msg/TwistWithCovariance.h"
#include "geometry_msgs/msg/Vector3.h"
#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose_with_covariance.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "geometry_msgs/msg/twist_with_covariance.hpp"
#include "geometry_msgs/msg/vector3.hpp"
#include "std_msgs/msg/Header.h"
#include "std_msgs/msg/header.hpp"

namespace ros_interfaces {

void to_dds(const builtin_interfaces::msg::Time& in, builtin_interfaces_msg_dds__Time_& out);
void from_dds(const builtin_interfaces_msg_dds__Time_& in, builtin_interfaces::msg::Time& out);

void to_dds(const std_msgs::msg::Header& in, std_msgs_msg_dds__Header_& out);
void from_dds(const std_msgs_msg_dds__Header_& in, std_msgs::msg::Header& out);

void to_dds(const geometry_msgs::msg::Point& in, geometry_msgs_msg_dds__Point_& out);
void from_dds(const geometry_msgs_msg_dds__Point_& in, geometry_msgs::msg::Point& out);
void to_dds(const geometry_msgs::msg::Quaternion& in, geometry_msgs_msg_dds__Quaternion_& out);
void from_dds(const geometry_msgs_msg_dds__Quaternion_& in, geometry_msgs::msg::Quaternion& out);
void to_dds(const geometry_msgs::msg::Pose& in, geometry_msgs_msg_dds__Pose_& out);
void from_dds(const geometry_msgs_msg_dds__Pose_& in, geometry_msgs::msg::Pose& out);
void to_dds(const geometry_msgs::msg::Vector3& in, geometry_msgs_msg_dds__Vector3_& out);
void from_dds(const geometry_msgs_msg_dds__Vector3_& in, geometry_msgs::msg::Vector3& out);
void to_dds(const geometry_msgs::msg::Twist& in, geometry_msgs_msg_dds__Twist_& out);
void from_dds(const geometry_msgs_msg_dds__Twist_& in, geometry_msgs::msg::Twist& out);
void to_dds(const geometry_msgs::msg::PoseWithCovariance& in,
            geometry_msgs_msg_dds__PoseWithCovariance_& out);
void from_dds(const geometry_msgs_msg_dds__PoseWithCovariance_& in,
              geometry_msgs::msg::PoseWithCovariance& out);
void to_dds(const geometry_msgs::msg::TwistWithCovariance& in,
            geometry_msgs_msg_dds__TwistWithCovariance_& out);
void from_dds(const geometry_msgs_msg_dds__TwistWithCovariance_& in,
              geometry_msgs::msg::TwistWithCovariance& out);

}  // namespace ros_interfaces
