#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "action_msgs/msg/goal_info.hpp"
#include "action_msgs/msg/goal_status_array.hpp"
#include "goal_state_machine.hpp"
#include "rclcpp/request_id.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action {
namespace detail {

// One accepted goal: its id, acceptance stamp and state, shared by the
// server's table and the user's goal handle.
class GoalRecord {
 public:
  explicit GoalRecord(const GoalInfo& info);

  const GoalInfo& info() const { return info_; }
  GoalState state() const;
  // Throws rclcpp::exceptions::RCLError with rcl_action's message where it
  // refuses the transition; the state is unchanged then.
  void update(GoalEvent event);
  // To CANCELED, through CANCELING if need be, where the state machine allows;
  // false (and nothing changed) otherwise.
  bool try_cancel();

 private:
  const GoalInfo info_;
  mutable std::mutex mutex_;
  GoalState state_ = GoalState::accepted;
};

// What rcl_action_process_cancel_request selects: a return code of
// action_msgs/srv/CancelGoal and the goals that may go to CANCELING.
struct CancelSelection {
  int8_t return_code;
  std::vector<GoalInfo> goals;
};

// The goals of one action server, in acceptance order (the order rcl_action
// lists them in the status array), with their results once they end and the
// result requests that wait for them.
class GoalTable {
 public:
  // nullptr when a goal with this id is known already.
  std::shared_ptr<GoalRecord> accept(const GoalUUID& uuid,
                                     const builtin_interfaces::msg::Time& stamp);
  bool contains(const GoalUUID& uuid) const;
  action_msgs::msg::GoalStatusArray status_array() const;

  // A zero id and stamp select every cancelable goal; a stamp alone, those
  // accepted at or before it; an id alone, that goal (or an error code); both,
  // the goal and those at or before the stamp.
  CancelSelection select_for_cancel(const GoalInfo& request) const;

  // Drops the goals that have ended and were accepted more than timeout_ns
  // before now_ns, except `keep`; returns their ids.
  std::vector<GoalUUID> expire(int64_t now_ns, int64_t timeout_ns, const GoalUUID* keep = nullptr);

  // The stored result, nullptr while the goal runs or when it is unknown.
  std::shared_ptr<void> result(const GoalUUID& uuid) const;
  // Keeps a request until the goal's result is set; ignored for unknown goals.
  void wait_for_result(const GoalUUID& uuid, const rmw_request_id_t& request);
  // Stores the result and hands back the requests that waited for it. Throws
  // std::runtime_error for an unknown goal.
  std::vector<rmw_request_id_t> set_result(const GoalUUID& uuid, std::shared_ptr<void> result);

  size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    std::shared_ptr<GoalRecord> record;
    std::shared_ptr<void> result;
    std::vector<rmw_request_id_t> waiting;
  };
  const Entry* find(const GoalUUID& uuid) const;
  Entry* find(const GoalUUID& uuid);

  std::vector<Entry> entries_;
};

int64_t to_nanoseconds(const builtin_interfaces::msg::Time& stamp);

}  // namespace detail
}  // namespace rclcpp_action
