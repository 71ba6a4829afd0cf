#include "goal_table.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "action_msgs/srv/cancel_goal.hpp"
#include "rclcpp/exceptions.hpp"

namespace rclcpp_action {
namespace detail {
namespace {

constexpr int32_t kGoalEventInvalid = 2301;  // RCL_RET_ACTION_GOAL_EVENT_INVALID
using CancelResponse = action_msgs::srv::CancelGoal::Response;

bool is_zero(const GoalUUID& uuid) {
  return std::all_of(uuid.begin(), uuid.end(), [](uint8_t byte) { return byte == 0; });
}

}  // namespace

int64_t to_nanoseconds(const builtin_interfaces::msg::Time& stamp) {
  return static_cast<int64_t>(stamp.sec) * 1000000000 + static_cast<int64_t>(stamp.nanosec);
}

GoalRecord::GoalRecord(const GoalInfo& info) : info_(info) {}

GoalState GoalRecord::state() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

void GoalRecord::update(GoalEvent event) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto next = transition(state_, event);
  if (!next) {
    throw rclcpp::exceptions::RCLError(kGoalEventInvalid,
                                       std::string("goal_handle attempted invalid transition from "
                                                   "state ") +
                                           describe(state_) + " with event " + describe(event));
  }
  state_ = *next;
}

bool GoalRecord::try_cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (is_cancelable(state_)) {
    state_ = GoalState::canceling;
  }
  if (state_ != GoalState::canceling) {
    return false;
  }
  state_ = GoalState::canceled;
  return true;
}

std::shared_ptr<GoalRecord> GoalTable::accept(const GoalUUID& uuid,
                                              const builtin_interfaces::msg::Time& stamp) {
  if (contains(uuid)) {
    return nullptr;
  }
  GoalInfo info;
  info.goal_id.uuid = uuid;
  info.stamp = stamp;
  auto record = std::make_shared<GoalRecord>(info);
  entries_.push_back({record, nullptr, {}});
  return record;
}

const GoalTable::Entry* GoalTable::find(const GoalUUID& uuid) const {
  for (const auto& entry : entries_) {
    if (entry.record->info().goal_id.uuid == uuid) {
      return &entry;
    }
  }
  return nullptr;
}

GoalTable::Entry* GoalTable::find(const GoalUUID& uuid) {
  return const_cast<Entry*>(static_cast<const GoalTable*>(this)->find(uuid));
}

bool GoalTable::contains(const GoalUUID& uuid) const { return find(uuid) != nullptr; }

action_msgs::msg::GoalStatusArray GoalTable::status_array() const {
  action_msgs::msg::GoalStatusArray array;
  array.status_list.reserve(entries_.size());
  for (const auto& entry : entries_) {
    action_msgs::msg::GoalStatus status;
    status.goal_info = entry.record->info();
    status.status = static_cast<int8_t>(entry.record->state());
    array.status_list.push_back(status);
  }
  return array;
}

CancelSelection GoalTable::select_for_cancel(const GoalInfo& request) const {
  const GoalUUID& uuid = request.goal_id.uuid;
  int64_t before = to_nanoseconds(request.stamp);
  CancelSelection selection{CancelResponse::ERROR_NONE, {}};
  if (!is_zero(uuid) && before == 0) {
    const Entry* entry = find(uuid);
    if (entry == nullptr) {
      selection.return_code = CancelResponse::ERROR_UNKNOWN_GOAL_ID;
    } else if (is_cancelable(entry->record->state())) {
      selection.goals.push_back(entry->record->info());
    } else {
      selection.return_code = CancelResponse::ERROR_GOAL_TERMINATED;
    }
    return selection;
  }
  if (is_zero(uuid) && before == 0) {
    before = std::numeric_limits<int64_t>::max();
  }
  for (const auto& entry : entries_) {
    const GoalInfo& info = entry.record->info();
    if (is_cancelable(entry.record->state()) &&
        (to_nanoseconds(info.stamp) <= before || info.goal_id.uuid == uuid)) {
      selection.goals.push_back(info);
    }
  }
  return selection;
}

std::vector<GoalUUID> GoalTable::expire(int64_t now_ns, int64_t timeout_ns, const GoalUUID* keep) {
  std::vector<GoalUUID> expired;
  auto gone = [&](const Entry& entry) {
    const GoalInfo& info = entry.record->info();
    if (is_active(entry.record->state()) || (keep != nullptr && info.goal_id.uuid == *keep) ||
        now_ns - to_nanoseconds(info.stamp) <= timeout_ns) {
      return false;
    }
    expired.push_back(info.goal_id.uuid);
    return true;
  };
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(), gone), entries_.end());
  return expired;
}

std::shared_ptr<void> GoalTable::result(const GoalUUID& uuid) const {
  const Entry* entry = find(uuid);
  return entry != nullptr ? entry->result : nullptr;
}

void GoalTable::wait_for_result(const GoalUUID& uuid, const rmw_request_id_t& request) {
  if (Entry* entry = find(uuid)) {
    entry->waiting.push_back(request);
  }
}

std::vector<rmw_request_id_t> GoalTable::set_result(const GoalUUID& uuid,
                                                    std::shared_ptr<void> result) {
  Entry* entry = find(uuid);
  if (entry == nullptr) {
    throw std::runtime_error("Asked to publish result for goal that does not exist");
  }
  entry->result = std::move(result);
  return std::exchange(entry->waiting, {});
}

}  // namespace detail
}  // namespace rclcpp_action
