#include "rclcpp_action/server_goal_handle.hpp"

#include "goal_table.hpp"

namespace rclcpp_action {

ServerGoalHandleBase::~ServerGoalHandleBase() = default;

bool ServerGoalHandleBase::is_canceling() const {
  return record_->state() == detail::GoalState::canceling;
}

bool ServerGoalHandleBase::is_active() const { return detail::is_active(record_->state()); }

bool ServerGoalHandleBase::is_executing() const {
  return record_->state() == detail::GoalState::executing;
}

void ServerGoalHandleBase::_abort() { record_->update(detail::GoalEvent::abort); }

void ServerGoalHandleBase::_succeed() { record_->update(detail::GoalEvent::succeed); }

void ServerGoalHandleBase::_cancel_goal() { record_->update(detail::GoalEvent::cancel_goal); }

void ServerGoalHandleBase::_canceled() { record_->update(detail::GoalEvent::canceled); }

void ServerGoalHandleBase::_execute() { record_->update(detail::GoalEvent::execute); }

bool ServerGoalHandleBase::try_canceling() noexcept { return record_->try_cancel(); }

}  // namespace rclcpp_action
