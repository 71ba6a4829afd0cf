#pragma once

#include <cstdint>
#include <memory>

#include "rclcpp_dds/type_support.hpp"

namespace quorvane_protocol::msg {

struct Align {
  int32_t enable = 0;
  int32_t action = 0;
  int32_t success = 0;

  using SharedPtr = std::shared_ptr<Align>;
  using ConstSharedPtr = std::shared_ptr<const Align>;
  using UniquePtr = std::unique_ptr<Align>;

  bool operator==(const Align& other) const {
    return enable == other.enable && action == other.action && success == other.success;
  }
  bool operator!=(const Align& other) const { return !(*this == other); }
};

}  // namespace quorvane_protocol::msg

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<quorvane_protocol::msg::Align>();
}  // namespace rclcpp_dds
