#pragma once

#include <cstdint>
#include <optional>

namespace rclcpp_action {
namespace detail {

// rcl_action's goal states, numbered as action_msgs/msg/GoalStatus numbers them.
enum class GoalState : int8_t {
  accepted = 1,
  executing = 2,
  canceling = 3,
  succeeded = 4,
  canceled = 5,
  aborted = 6,
};

enum class GoalEvent { execute, cancel_goal, succeed, abort, canceled };

// The state an event leads to, or nullopt where rcl_action refuses the transition.
std::optional<GoalState> transition(GoalState state, GoalEvent event);

bool is_active(GoalState state);
bool is_cancelable(GoalState state);

// rcl_action's names, as its error message for a refused transition has them.
const char* describe(GoalState state);
const char* describe(GoalEvent event);

}  // namespace detail
}  // namespace rclcpp_action
