#pragma once

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "action_msgs/msg/goal_info.hpp"
#include "action_msgs/msg/goal_status.hpp"

namespace rclcpp_action {

using GoalUUID = std::array<uint8_t, 16>;
using GoalStatus = action_msgs::msg::GoalStatus;
using GoalInfo = action_msgs::msg::GoalInfo;

// Each byte in hex without padding, as rclcpp_action prints it.
std::string to_string(const GoalUUID& goal_id);

}  // namespace rclcpp_action

namespace std {

template <>
struct less<rclcpp_action::GoalUUID> {
  bool operator()(const rclcpp_action::GoalUUID& lhs, const rclcpp_action::GoalUUID& rhs) const {
    return lhs < rhs;
  }
};

// rclcpp_action's hash, so that containers keyed by goal id order alike.
template <>
struct hash<rclcpp_action::GoalUUID> {
  size_t operator()(const rclcpp_action::GoalUUID& uuid) const noexcept {
    size_t result = 0;
    for (size_t i = 0; i < uuid.size(); ++i) {
      for (size_t b = 0; b < sizeof(size_t); ++b) {
        size_t part = uuid[i];
        part <<= CHAR_BIT * b;
        result ^= part;
      }
    }
    return result;
  }
};

}  // namespace std
