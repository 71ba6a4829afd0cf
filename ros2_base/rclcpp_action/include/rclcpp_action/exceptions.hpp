#pragma once

#include <stdexcept>
#include <string>

namespace rclcpp_action {
namespace exceptions {

class UnknownGoalHandleError : public std::invalid_argument {
 public:
  UnknownGoalHandleError() : std::invalid_argument("Goal handle is not known to this client.") {}
};

class UnawareGoalHandleError : public std::runtime_error {
 public:
  UnawareGoalHandleError(  // NOLINT: implicit as in rclcpp_action
      const std::string& message = "Goal handle is not tracking the goal result.")
      : std::runtime_error(message) {}
};

}  // namespace exceptions
}  // namespace rclcpp_action
