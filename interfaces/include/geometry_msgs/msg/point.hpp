#pragma once

#include <memory>

#include "rclcpp_dds/type_support.hpp"

namespace geometry_msgs::msg {

struct Point {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;

  using SharedPtr = std::shared_ptr<Point>;
  using ConstSharedPtr = std::shared_ptr<const Point>;
  using UniquePtr = std::unique_ptr<Point>;

  bool operator==(const Point& other) const { return x == other.x && y == other.y && z == other.z; }
  bool operator!=(const Point& other) const { return !(*this == other); }
};

}  // namespace geometry_msgs::msg

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<geometry_msgs::msg::Point>();
}  // namespace rclcpp_dds
