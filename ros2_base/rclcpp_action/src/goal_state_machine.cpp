#include "goal_state_machine.hpp"

namespace rclcpp_action {
namespace detail {

std::optional<GoalState> transition(GoalState state, GoalEvent event) {
  switch (state) {
    case GoalState::accepted:
      if (event == GoalEvent::execute) return GoalState::executing;
      if (event == GoalEvent::cancel_goal) return GoalState::canceling;
      break;
    case GoalState::executing:
      if (event == GoalEvent::cancel_goal) return GoalState::canceling;
      if (event == GoalEvent::succeed) return GoalState::succeeded;
      if (event == GoalEvent::abort) return GoalState::aborted;
      break;
    case GoalState::canceling:
      if (event == GoalEvent::succeed) return GoalState::succeeded;
      if (event == GoalEvent::abort) return GoalState::aborted;
      if (event == GoalEvent::canceled) return GoalState::canceled;
      break;
    case GoalState::succeeded:
    case GoalState::canceled:
    case GoalState::aborted:
      break;
  }
  return std::nullopt;
}

bool is_active(GoalState state) {
  return state == GoalState::accepted || state == GoalState::executing ||
         state == GoalState::canceling;
}

bool is_cancelable(GoalState state) {
  return transition(state, GoalEvent::cancel_goal) == GoalState::canceling;
}

const char* describe(GoalState state) {
  switch (state) {
    case GoalState::accepted:
      return "ACCEPTED";
    case GoalState::executing:
      return "EXECUTING";
    case GoalState::canceling:
      return "CANCELING";
    case GoalState::succeeded:
      return "SUCCEEDED";
    case GoalState::canceled:
      return "CANCELED";
    case GoalState::aborted:
      return "ABORTED";
  }
  return "UNKNOWN";
}

const char* describe(GoalEvent event) {
  switch (event) {
    case GoalEvent::execute:
      return "EXECUTE";
    case GoalEvent::cancel_goal:
      return "CANCEL_GOAL";
    case GoalEvent::succeed:
      return "SUCCEED";
    case GoalEvent::abort:
      return "ABORT";
    case GoalEvent::canceled:
      return "CANCELED";
  }
  return "UNKNOWN";
}

}  // namespace detail
}  // namespace rclcpp_action
