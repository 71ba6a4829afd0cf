#pragma once

#include <memory>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "rclcpp_dds/type_support.hpp"

namespace geometry_msgs::msg {

struct Pose {
  Point position;
  Quaternion orientation;

  using SharedPtr = std::shared_ptr<Pose>;
  using ConstSharedPtr = std::shared_ptr<const Pose>;
  using UniquePtr = std::unique_ptr<Pose>;

  bool operator==(const Pose& other) const {
    return position == other.position && orientation == other.orientation;
  }
  bool operator!=(const Pose& other) const { return !(*this == other); }
};

}  // namespace geometry_msgs::msg

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<geometry_msgs::msg::Pose>();
}  // namespace rclcpp_dds
