#pragma once

#include <cstdint>
#include <memory>

#include "rclcpp_dds/type_support.hpp"

namespace builtin_interfaces::msg {

struct Time {
  int32_t sec = 0;
  uint32_t nanosec = 0;

  using SharedPtr = std::shared_ptr<Time>;
  using ConstSharedPtr = std::shared_ptr<const Time>;
  using UniquePtr = std::unique_ptr<Time>;

  bool operator==(const Time& other) const { return sec == other.sec && nanosec == other.nanosec; }
  bool operator!=(const Time& other) const { return !(*this == other); }
};

}  // namespace builtin_interfaces::msg

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<builtin_interfaces::msg::Time>();
}  // namespace rclcpp_dds
