#pragma once

#include <array>
#include <memory>

#include "geometry_msgs/msg/twist.hpp"
#include "rclcpp_dds/type_support.hpp"

namespace geometry_msgs::msg {

struct TwistWithCovariance {
  Twist twist;
  std::array<double, 36> covariance{};

  using SharedPtr = std::shared_ptr<TwistWithCovariance>;
  using ConstSharedPtr = std::shared_ptr<const TwistWithCovariance>;
  using UniquePtr = std::unique_ptr<TwistWithCovariance>;

  bool operator==(const TwistWithCovariance& other) const {
    return twist == other.twist && covariance == other.covariance;
  }
  bool operator!=(const TwistWithCovariance& other) const { return !(*this == other); }
};

}  // namespace geometry_msgs::msg

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<geometry_msgs::msg::TwistWithCovariance>();
}  // namespace rclcpp_dds
