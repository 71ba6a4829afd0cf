#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "action_msgs/msg/goal_status.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action {

namespace detail {
class GoalRecord;
}  // namespace detail

// The state of one accepted goal, shared with the server that lists it in its
// status. Not used directly: a server hands out ServerGoalHandle<ActionT>.
class ServerGoalHandleBase {
 public:
  // True once a cancel request for the goal was accepted.
  bool is_canceling() const;
  // False once the goal has ended.
  bool is_active() const;
  bool is_executing() const;

  virtual ~ServerGoalHandleBase();

 protected:
  explicit ServerGoalHandleBase(std::shared_ptr<detail::GoalRecord> record)
      : record_(std::move(record)) {}

  // Each throws rclcpp::exceptions::RCLError, the state unchanged, where rcl_action's
  // state machine refuses the transition.
  void _abort();
  void _succeed();
  void _cancel_goal();
  void _canceled();
  void _execute();

  // Ends a goal that has not ended as canceled; true if it did.
  bool try_canceling() noexcept;

 private:
  std::shared_ptr<detail::GoalRecord> record_;
};

template <typename ActionT>
class Server;

// The server's side of one accepted goal, given to the accepted callback.
// Dropping the last reference to a goal that has not ended ends it as canceled.
template <typename ActionT>
class ServerGoalHandle : public ServerGoalHandleBase {
 public:
  // Publishes on the action's feedback topic, whatever the goal's state (as
  // rclcpp_action does).
  void publish_feedback(std::shared_ptr<typename ActionT::Feedback> feedback_msg) {
    auto feedback_message = std::make_shared<typename ActionT::Impl::FeedbackMessage>();
    feedback_message->goal_id.uuid = uuid_;
    feedback_message->feedback = *feedback_msg;
    publish_feedback_(feedback_message);
  }

  // Ends an executing or canceling goal; throws RCLError in any other state.
  void abort(typename ActionT::Result::SharedPtr result_msg) {
    _abort();
    end(action_msgs::msg::GoalStatus::STATUS_ABORTED, *result_msg);
  }

  // Ends an executing or canceling goal; throws RCLError in any other state.
  void succeed(typename ActionT::Result::SharedPtr result_msg) {
    _succeed();
    end(action_msgs::msg::GoalStatus::STATUS_SUCCEEDED, *result_msg);
  }

  // Ends a canceling goal; throws RCLError in any other state.
  void canceled(typename ActionT::Result::SharedPtr result_msg) {
    _canceled();
    end(action_msgs::msg::GoalStatus::STATUS_CANCELED, *result_msg);
  }

  // Starts a goal accepted with ACCEPT_AND_DEFER; throws RCLError in any other state.
  void execute() {
    _execute();
    on_executing_(uuid_);
  }

  const std::shared_ptr<const typename ActionT::Goal> get_goal() const { return goal_; }

  const GoalUUID& get_goal_id() const { return uuid_; }

  virtual ~ServerGoalHandle() {
    if (try_canceling()) {
      auto null_result = std::make_shared<typename ActionT::Impl::GetResultService::Response>();
      null_result->status = action_msgs::msg::GoalStatus::STATUS_CANCELED;
      try {
        on_terminal_state_(uuid_, null_result);
      } catch (...) {
        // A destructor must not throw; the goal has ended here all the same.
      }
    }
  }

 protected:
  ServerGoalHandle(std::shared_ptr<detail::GoalRecord> record, GoalUUID uuid,
                   std::shared_ptr<const typename ActionT::Goal> goal,
                   std::function<void(const GoalUUID&, std::shared_ptr<void>)> on_terminal_state,
                   std::function<void(const GoalUUID&)> on_executing,
                   std::function<void(std::shared_ptr<typename ActionT::Impl::FeedbackMessage>)>
                       publish_feedback)
      : ServerGoalHandleBase(std::move(record)),
        goal_(std::move(goal)),
        uuid_(uuid),
        on_terminal_state_(std::move(on_terminal_state)),
        on_executing_(std::move(on_executing)),
        publish_feedback_(std::move(publish_feedback)) {}

  const std::shared_ptr<const typename ActionT::Goal> goal_;
  const GoalUUID uuid_;

  friend class Server<ActionT>;

  std::function<void(const GoalUUID&, std::shared_ptr<void>)> on_terminal_state_;
  std::function<void(const GoalUUID&)> on_executing_;
  std::function<void(std::shared_ptr<typename ActionT::Impl::FeedbackMessage>)> publish_feedback_;

 private:
  void end(int8_t status, const typename ActionT::Result& result) {
    auto response = std::make_shared<typename ActionT::Impl::GetResultService::Response>();
    response->status = status;
    response->result = result;
    on_terminal_state_(uuid_, response);
  }
};

}  // namespace rclcpp_action
