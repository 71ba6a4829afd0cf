#pragma once

#include <memory>

#include "rclcpp_dds/type_support.hpp"

namespace geometry_msgs::msg {

struct Quaternion {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
  double w = 1.0;

  using SharedPtr = std::shared_ptr<Quaternion>;
  using ConstSharedPtr = std::shared_ptr<const Quaternion>;
  using UniquePtr = std::unique_ptr<Quaternion>;

  bool operator==(const Quaternion& other) const {
    return x == other.x && y == other.y && z == other.z && w == other.w;
  }
  bool operator!=(const Quaternion& other) const { return !(*this == other); }
};

}  // namespace geometry_msgs::msg

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<geometry_msgs::msg::Quaternion>();
}  // namespace rclcpp_dds
