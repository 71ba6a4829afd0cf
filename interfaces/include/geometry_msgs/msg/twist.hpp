#pragma once

#include <memory>

#include "geometry_msgs/msg/vector3.hpp"
#include "rclcpp_dds/type_support.hpp"

namespace geometry_msgs::msg {

struct Twist {
  Vector3 linear;
  Vector3 angular;

  using SharedPtr = std::shared_ptr<Twist>;
  using ConstSharedPtr = std::shared_ptr<const Twist>;
  using UniquePtr = std::unique_ptr<Twist>;

  bool operator==(const Twist& other) const {
    return linear == other.linear && angular == other.angular;
  }
  bool operator!=(const Twist& other) const { return !(*this == other); }
};

}  // namespace geometry_msgs::msg

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<geometry_msgs::msg::Twist>();
}  // namespace rclcpp_dds
