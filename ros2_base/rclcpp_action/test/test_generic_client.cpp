// The action client of a type known by name against the test peer's typed server
// in another process: accepted and refused goals, feedback of its own goal only,
// results of each ending, a cancel, and types that do not load.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "action_fixture.hpp"
#include "rclcpp_action/generic_client.hpp"
#include "wire_test_msgs/action/sequence.hpp"

namespace {

using action_test::kStartup;
using Sequence = wire_test_msgs::action::Sequence;
using rclcpp_action::GoalUUID;

class GenericActionClient : public action_test::ActionTest {
 protected:
  struct Outcome {
    std::optional<bool> accepted;
    std::vector<std::vector<int32_t>> feedback;
    std::optional<int8_t> status;
    std::optional<Sequence::Result> result;
  };

  // A goal made as a user of the type would: by the client's goal type.
  GoalUUID send(int32_t order, const std::string& plan, Outcome& outcome) {
    auto goal = client_->goal_type().create();
    auto* typed = static_cast<Sequence::Goal*>(goal.get());
    typed->order = order;
    typed->plan = plan;
    return client_->async_send_goal(
        goal.get(), [&outcome](bool accepted) { outcome.accepted = accepted; },
        [&outcome](std::shared_ptr<const void> feedback) {
          outcome.feedback.push_back(
              static_cast<const Sequence::Feedback*>(feedback.get())->partial_sequence);
        });
  }

  void ask_result(const GoalUUID& id, Outcome& outcome) {
    client_->async_get_result(id, [&outcome](int8_t status, std::shared_ptr<const void> result) {
      outcome.status = status;
      outcome.result = *static_cast<const Sequence::Result*>(result.get());
    });
  }

  void start_with_server(const std::string& domain_id) {
    start(domain_id, "client");
    server_ = peer({"server", "sequence"});
    client_ =
        rclcpp_action::create_generic_client(node_, "sequence", "wire_test_msgs/action/Sequence");
    ASSERT_TRUE(client_->wait_for_action_server(kStartup));
  }

  rclcpp_action::GenericClient::SharedPtr client_;
  std::unique_ptr<test_support::ChildProcess> server_;
};

TEST_F(GenericActionClient, GoalsEndAsTheServerSaysWithFeedbackOfTheirOwn) {
  start_with_server("148");
  EXPECT_EQ(client_->goal_type().name(), "wire_test_msgs/action/Sequence_Goal");
  EXPECT_EQ(client_->feedback_type().name(), "wire_test_msgs/action/Sequence_Feedback");
  EXPECT_EQ(client_->result_type().name(), "wire_test_msgs/action/Sequence_Result");

  Outcome succeeded, aborted, refused;
  const GoalUUID first = send(3, "succeed", succeeded);
  const GoalUUID second = send(2, "abort", aborted);
  send(1, "reject", refused);
  EXPECT_NE(first, second);
  ASSERT_TRUE(
      spin_until([&] { return succeeded.accepted && aborted.accepted && refused.accepted; }));
  EXPECT_TRUE(*succeeded.accepted);
  EXPECT_TRUE(*aborted.accepted);
  EXPECT_FALSE(*refused.accepted);
  ask_result(first, succeeded);
  ask_result(second, aborted);
  ASSERT_TRUE(spin_until([&] { return succeeded.status && aborted.status; }));

  EXPECT_EQ(*succeeded.status, rclcpp_action::GoalStatus::STATUS_SUCCEEDED);
  EXPECT_EQ(succeeded.result->sequence, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(succeeded.result->outcome, "succeeded");
  EXPECT_EQ(*aborted.status, rclcpp_action::GoalStatus::STATUS_ABORTED);
  EXPECT_EQ(aborted.result->outcome, "aborted");
  // Each goal's callback saw its own feedback, in order.
  EXPECT_EQ(succeeded.feedback, (std::vector<std::vector<int32_t>>{{1}, {1, 2}, {1, 2, 3}}));
  EXPECT_EQ(aborted.feedback, (std::vector<std::vector<int32_t>>{{1}, {1, 2}}));
  EXPECT_TRUE(refused.feedback.empty());
}

TEST_F(GenericActionClient, CancelEndsARunningGoalAndStatusFollowsIt) {
  start_with_server("149");
  Outcome held;
  const GoalUUID id = send(1, "hold", held);
  ASSERT_TRUE(spin_until([&] { return !held.feedback.empty(); }));
  EXPECT_EQ(client_->get_status(id), rclcpp_action::GoalStatus::STATUS_EXECUTING);
  std::shared_ptr<rclcpp_action::GenericClient::CancelResponse> cancel;
  client_->async_cancel_goal(id, [&cancel](auto response) { cancel = response; });
  ASSERT_TRUE(spin_until([&] { return cancel != nullptr; }));
  ASSERT_EQ(cancel->goals_canceling.size(), 1u);
  EXPECT_EQ(cancel->goals_canceling[0].goal_id.uuid, id);
  ask_result(id, held);
  ASSERT_TRUE(spin_until([&] { return held.status.has_value(); }));
  EXPECT_EQ(*held.status, rclcpp_action::GoalStatus::STATUS_CANCELED);
  EXPECT_EQ(held.result->outcome, "canceled");
  ASSERT_TRUE(spin_until(
      [&] { return client_->get_status(id) == rclcpp_action::GoalStatus::STATUS_CANCELED; }));
}

TEST_F(GenericActionClient, TypesThatAreNoActionDoNotLoad) {
  start("148", "client");
  EXPECT_THROW(rclcpp_action::create_generic_client(node_, "a", "wire_test_msgs/action/Nope"),
               std::runtime_error);
  EXPECT_THROW(rclcpp_action::create_generic_client(node_, "a", "wire_test_msgs/msg/AllKinds"),
               std::runtime_error);
  EXPECT_THROW(rclcpp_action::create_generic_client(node_, "a", "nope/action/Sequence"),
               std::runtime_error);
}

}  // namespace
