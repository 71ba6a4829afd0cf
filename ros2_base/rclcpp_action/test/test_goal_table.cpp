// The server's goal bookkeeping without middleware: rcl_action's state machine,
// the cancel policies of action_msgs/srv/CancelGoal, result expiry and the
// result requests that wait for a goal's end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "action_msgs/srv/cancel_goal.hpp"
#include "goal_table.hpp"
#include "rclcpp/exceptions.hpp"

namespace {

using rclcpp_action::GoalUUID;
using rclcpp_action::detail::GoalEvent;
using rclcpp_action::detail::GoalRecord;
using rclcpp_action::detail::GoalState;
using rclcpp_action::detail::GoalTable;
using CancelResponse = action_msgs::srv::CancelGoal::Response;

constexpr int64_t kSecond = 1000000000;

GoalUUID id(uint8_t n) {
  GoalUUID uuid{};
  uuid[15] = n;
  return uuid;
}

builtin_interfaces::msg::Time at(int32_t seconds) {
  builtin_interfaces::msg::Time stamp;
  stamp.sec = seconds;
  return stamp;
}

rclcpp_action::GoalInfo cancel_request(const GoalUUID& uuid, int32_t seconds) {
  rclcpp_action::GoalInfo info;
  info.goal_id.uuid = uuid;
  info.stamp = at(seconds);
  return info;
}

std::vector<uint8_t> ids_of(const std::vector<rclcpp_action::GoalInfo>& goals) {
  std::vector<uint8_t> ids;
  for (const auto& goal : goals) ids.push_back(goal.goal_id.uuid[15]);
  return ids;
}

TEST(GoalStateMachine, AllowsRclActionsTransitionsOnly) {
  const GoalState states[] = {GoalState::accepted,  GoalState::executing, GoalState::canceling,
                              GoalState::succeeded, GoalState::canceled,  GoalState::aborted};
  const GoalEvent events[] = {GoalEvent::execute, GoalEvent::cancel_goal, GoalEvent::succeed,
                              GoalEvent::abort, GoalEvent::canceled};
  const std::vector<std::string> allowed = {
      "ACCEPTED EXECUTE EXECUTING",      "ACCEPTED CANCEL_GOAL CANCELING",
      "EXECUTING CANCEL_GOAL CANCELING", "EXECUTING SUCCEED SUCCEEDED",
      "EXECUTING ABORT ABORTED",         "CANCELING SUCCEED SUCCEEDED",
      "CANCELING ABORT ABORTED",         "CANCELING CANCELED CANCELED"};
  std::vector<std::string> seen;
  for (GoalState state : states) {
    for (GoalEvent event : events) {
      if (auto next = rclcpp_action::detail::transition(state, event)) {
        seen.push_back(std::string(describe(state)) + " " + describe(event) + " " +
                       describe(*next));
      }
    }
  }
  EXPECT_EQ(seen, allowed);
  EXPECT_TRUE(is_cancelable(GoalState::accepted));
  EXPECT_TRUE(is_cancelable(GoalState::executing));
  EXPECT_FALSE(is_cancelable(GoalState::canceling));
  EXPECT_TRUE(is_active(GoalState::canceling));
  EXPECT_FALSE(is_active(GoalState::aborted));
}

TEST(GoalRecord, RefusedTransitionThrowsRclsMessageAndKeepsTheState) {
  GoalRecord record(cancel_request(id(1), 5));
  record.update(GoalEvent::execute);
  record.update(GoalEvent::succeed);
  try {
    record.update(GoalEvent::abort);
    FAIL() << "no exception";
  } catch (const rclcpp::exceptions::RCLError& error) {
    EXPECT_STREQ(error.what(),
                 "goal_handle attempted invalid transition from state SUCCEEDED with event ABORT");
    EXPECT_EQ(error.ret, 2301);
  }
  EXPECT_EQ(record.state(), GoalState::succeeded);
  EXPECT_FALSE(record.try_cancel());
  EXPECT_EQ(record.state(), GoalState::succeeded);

  // A goal never ended is canceled from any active state, as a dropped goal handle does.
  for (GoalEvent before : {GoalEvent::execute, GoalEvent::cancel_goal}) {
    GoalRecord running(cancel_request(id(2), 5));
    running.update(before);
    EXPECT_TRUE(running.try_cancel());
    EXPECT_EQ(running.state(), GoalState::canceled);
  }
  GoalRecord fresh(cancel_request(id(3), 5));
  EXPECT_TRUE(fresh.try_cancel());
}

// Goals 1 and 2 running (accepted at 10 s and 20 s), 3 ended (30 s).
class CancelPolicies : public testing::Test {
 protected:
  void SetUp() override {
    table_.accept(id(1), at(10));
    table_.accept(id(2), at(20))->update(GoalEvent::execute);
    auto ended = table_.accept(id(3), at(30));
    ended->update(GoalEvent::execute);
    ended->update(GoalEvent::abort);
  }
  GoalTable table_;
};

TEST_F(CancelPolicies, ZeroIdAndStampCancelEveryActiveGoal) {
  auto selection = table_.select_for_cancel(cancel_request(id(0), 0));
  EXPECT_EQ(selection.return_code, CancelResponse::ERROR_NONE);
  EXPECT_EQ(ids_of(selection.goals), (std::vector<uint8_t>{1, 2}));
}

TEST_F(CancelPolicies, StampAloneCancelsTheGoalsAcceptedAtOrBeforeIt) {
  EXPECT_EQ(ids_of(table_.select_for_cancel(cancel_request(id(0), 20)).goals),
            (std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(ids_of(table_.select_for_cancel(cancel_request(id(0), 15)).goals),
            (std::vector<uint8_t>{1}));
  auto none = table_.select_for_cancel(cancel_request(id(0), 5));
  EXPECT_EQ(none.return_code, CancelResponse::ERROR_NONE);
  EXPECT_TRUE(none.goals.empty());
}

TEST_F(CancelPolicies, IdAloneCancelsThatGoalOrSaysWhyNot) {
  auto one = table_.select_for_cancel(cancel_request(id(2), 0));
  EXPECT_EQ(one.return_code, CancelResponse::ERROR_NONE);
  EXPECT_EQ(ids_of(one.goals), (std::vector<uint8_t>{2}));
  EXPECT_EQ(one.goals[0].stamp.sec, 20);
  auto ended = table_.select_for_cancel(cancel_request(id(3), 0));
  EXPECT_EQ(ended.return_code, CancelResponse::ERROR_GOAL_TERMINATED);
  EXPECT_TRUE(ended.goals.empty());
  auto unknown = table_.select_for_cancel(cancel_request(id(9), 0));
  EXPECT_EQ(unknown.return_code, CancelResponse::ERROR_UNKNOWN_GOAL_ID);
  EXPECT_TRUE(unknown.goals.empty());
}

TEST_F(CancelPolicies, IdAndStampCancelThatGoalAndThoseBefore) {
  EXPECT_EQ(ids_of(table_.select_for_cancel(cancel_request(id(2), 15)).goals),
            (std::vector<uint8_t>{1, 2}));
  // An ended goal is not canceled, and does not make the request an error.
  auto selection = table_.select_for_cancel(cancel_request(id(3), 15));
  EXPECT_EQ(selection.return_code, CancelResponse::ERROR_NONE);
  EXPECT_EQ(ids_of(selection.goals), (std::vector<uint8_t>{1}));
}

TEST(GoalTable, ExpiryCountsFromAcceptanceAndSparesRunningGoals) {
  GoalTable table;
  table.accept(id(1), at(10));
  for (auto [n, second] : {std::pair<uint8_t, int32_t>{2, 10}, {3, 20}, {4, 15}}) {
    auto record = table.accept(id(n), at(second));
    record->update(GoalEvent::execute);
    record->update(GoalEvent::succeed);
  }
  // Goal 4 was accepted exactly the timeout ago: rcl_action keeps it until strictly more.
  EXPECT_EQ(table.expire(25 * kSecond, 10 * kSecond), (std::vector<GoalUUID>{id(2)}));
  EXPECT_TRUE(table.contains(id(1)));
  EXPECT_TRUE(table.contains(id(4)));
  const GoalUUID keep = id(3);
  EXPECT_EQ(table.expire(100 * kSecond, 10 * kSecond, &keep), (std::vector<GoalUUID>{id(4)}));
  EXPECT_TRUE(table.contains(id(3)));
  EXPECT_TRUE(table.contains(id(1)));
  // The status lists what is left, in acceptance order.
  auto status = table.status_array();
  ASSERT_EQ(status.status_list.size(), 2u);
  EXPECT_EQ(status.status_list[0].goal_info.goal_id.uuid, id(1));
  EXPECT_EQ(status.status_list[0].status, 1);
  EXPECT_EQ(status.status_list[1].goal_info.stamp.sec, 20);
  EXPECT_EQ(status.status_list[1].status, 4);
}

TEST(GoalTable, ResultRequestsWaitForTheEndAndTheResultStays) {
  GoalTable table;
  ASSERT_TRUE(table.accept(id(1), at(1)));
  EXPECT_EQ(table.accept(id(1), at(2)), nullptr);
  rmw_request_id_t first{}, second{};
  first.sequence_number = 7;
  second.sequence_number = 9;
  table.wait_for_result(id(1), first);
  table.wait_for_result(id(1), second);
  table.wait_for_result(id(5), first);  // unknown: nothing waits
  EXPECT_EQ(table.result(id(1)), nullptr);
  auto result = std::make_shared<int>(42);
  auto waiting = table.set_result(id(1), result);
  ASSERT_EQ(waiting.size(), 2u);
  EXPECT_EQ(waiting[0].sequence_number, 7);
  EXPECT_EQ(waiting[1].sequence_number, 9);
  EXPECT_EQ(table.result(id(1)), result);
  EXPECT_TRUE(table.set_result(id(1), result).empty());
  EXPECT_THROW(table.set_result(id(5), result), std::runtime_error);
}

}  // namespace
