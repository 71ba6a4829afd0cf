#pragma once

#include <memory>

#include "geometry_msgs/msg/pose.hpp"
#include "rclcpp_dds/type_support.hpp"
#include "std_msgs/msg/header.hpp"

namespace geometry_msgs::msg {

struct PoseStamped {
  std_msgs::msg::Header header;
  Pose pose;

  using SharedPtr = std::shared_ptr<PoseStamped>;
  using ConstSharedPtr = std::shared_ptr<const PoseStamped>;
  using UniquePtr = std::unique_ptr<PoseStamped>;

  bool operator==(const PoseStamped& other) const {
    return header == other.header && pose == other.pose;
  }
  bool operator!=(const PoseStamped& other) const { return !(*this == other); }
};

}  // namespace geometry_msgs::msg

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<geometry_msgs::msg::PoseStamped>();
}  // namespace rclcpp_dds
