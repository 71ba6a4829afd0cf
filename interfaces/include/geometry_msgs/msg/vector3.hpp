#pragma once

#include <memory>

#include "rclcpp_dds/type_support.hpp"

namespace geometry_msgs::msg {

struct Vector3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;

  using SharedPtr = std::shared_ptr<Vector3>;
  using ConstSharedPtr = std::shared_ptr<const Vector3>;
  using UniquePtr = std::unique_ptr<Vector3>;

  bool operator==(const Vector3& other) const {
    return x == other.x && y == other.y && z == other.z;
  }
  bool operator!=(const Vector3& other) const { return !(*this == other); }
};

}  // namespace geometry_msgs::msg

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<geometry_msgs::msg::Vector3>();
}  // namespace rclcpp_dds
