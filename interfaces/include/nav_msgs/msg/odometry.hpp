#pragma once

#include <memory>
#include <string>

#include "geometry_msgs/msg/pose_with_covariance.hpp"
#include "geometry_msgs/msg/twist_with_covariance.hpp"
#include "rclcpp_dds/type_support.hpp"
#include "std_msgs/msg/header.hpp"

namespace nav_msgs::msg {

struct Odometry {
  std_msgs::msg::Header header;
  std::string child_frame_id;
  geometry_msgs::msg::PoseWithCovariance pose;
  geometry_msgs::msg::TwistWithCovariance twist;

  using SharedPtr = std::shared_ptr<Odometry>;
  using ConstSharedPtr = std::shared_ptr<const Odometry>;
  using UniquePtr = std::unique_ptr<Odometry>;

  bool operator==(const Odometry& other) const {
    return header == other.header && child_frame_id == other.child_frame_id && pose == other.pose &&
           twist == other.twist;
  }
  bool operator!=(const Odometry& other) const { return !(*this == other); }
};

}  // namespace nav_msgs::msg

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<nav_msgs::msg::Odometry>();
}  // namespace rclcpp_dds
