#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>

#include "action_msgs/msg/goal_status.hpp"
#include "rclcpp/time.hpp"
#include "rclcpp_action/exceptions.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action {

enum class ResultCode : int8_t {
  UNKNOWN = action_msgs::msg::GoalStatus::STATUS_UNKNOWN,
  SUCCEEDED = action_msgs::msg::GoalStatus::STATUS_SUCCEEDED,
  CANCELED = action_msgs::msg::GoalStatus::STATUS_CANCELED,
  ABORTED = action_msgs::msg::GoalStatus::STATUS_ABORTED
};

template <typename ActionT>
class Client;

// The client's side of one goal the server accepted; made by Client.
template <typename ActionT>
class ClientGoalHandle {
 public:
  using SharedPtr = std::shared_ptr<ClientGoalHandle<ActionT>>;
  using ConstSharedPtr = std::shared_ptr<const ClientGoalHandle<ActionT>>;
  using WeakPtr = std::weak_ptr<ClientGoalHandle<ActionT>>;

  struct WrappedResult {
    GoalUUID goal_id;
    ResultCode code;
    typename ActionT::Result::SharedPtr result;
  };

  using Feedback = typename ActionT::Feedback;
  using Result = typename ActionT::Result;
  using FeedbackCallback = std::function<void(typename ClientGoalHandle<ActionT>::SharedPtr,
                                              const std::shared_ptr<const Feedback>)>;
  using ResultCallback = std::function<void(const WrappedResult& result)>;

  ClientGoalHandle(const ClientGoalHandle&) = delete;
  ClientGoalHandle& operator=(const ClientGoalHandle&) = delete;
  virtual ~ClientGoalHandle();

  const GoalUUID& get_goal_id() const;
  // The stamp of the server's goal response (rclcpp_action 16 servers leave it zero).
  rclcpp::Time get_goal_stamp() const;
  // The latest status the status topic gave for the goal; ACCEPTED until then.
  int8_t get_status();
  bool is_feedback_aware();
  bool is_result_aware();

 private:
  friend class Client<ActionT>;

  ClientGoalHandle(const GoalInfo& info, FeedbackCallback feedback_callback,
                   ResultCallback result_callback);

  void set_feedback_callback(FeedbackCallback callback);
  void set_result_callback(ResultCallback callback);
  void call_feedback_callback(typename ClientGoalHandle<ActionT>::SharedPtr shared_this,
                              typename std::shared_ptr<const Feedback> feedback_message);
  std::shared_future<WrappedResult> async_get_result();
  bool set_result_awareness(bool awareness);
  void set_status(int8_t status);
  void set_result(const WrappedResult& wrapped_result);
  void invalidate(const exceptions::UnawareGoalHandleError& ex);
  bool is_invalidated() const;

  GoalInfo info_;
  std::exception_ptr invalidate_exception_{nullptr};
  bool is_result_aware_{false};
  std::promise<WrappedResult> result_promise_;
  std::shared_future<WrappedResult> result_future_;
  FeedbackCallback feedback_callback_{nullptr};
  ResultCallback result_callback_{nullptr};
  int8_t status_{GoalStatus::STATUS_ACCEPTED};
  std::mutex handle_mutex_;
};

}  // namespace rclcpp_action

#include "rclcpp_action/client_goal_handle_impl.hpp"  // NOLINT(build/include_order)
