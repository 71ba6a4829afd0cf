#include "rclcpp_action/types.hpp"

#include <sstream>

namespace rclcpp_action {

std::string to_string(const GoalUUID& goal_id) {
  std::stringstream stream;
  stream << std::hex;
  for (const auto& element : goal_id) {
    stream << static_cast<int>(element);
  }
  return stream.str();
}

}  // namespace rclcpp_action
