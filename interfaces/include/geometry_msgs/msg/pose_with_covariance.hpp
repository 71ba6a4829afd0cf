#pragma once

#include <array>
#include <memory>

#include "geometry_msgs/msg/pose.hpp"
#include "rclcpp_dds/type_support.hpp"

namespace geometry_msgs::msg {

struct PoseWithCovariance {
  Pose pose;
  std::array<double, 36> covariance{};

  using SharedPtr = std::shared_ptr<PoseWithCovariance>;
  using ConstSharedPtr = std::shared_ptr<const PoseWithCovariance>;
  using UniquePtr = std::unique_ptr<PoseWithCovariance>;

  bool operator==(const PoseWithCovariance& other) const {
    return pose == other.pose && covariance == other.covariance;
  }
  bool operator!=(const PoseWithCovariance& other) const { return !(*this == other); }
};

}  // namespace geometry_msgs::msg

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<geometry_msgs::msg::PoseWithCovariance>();
}  // namespace rclcpp_dds
