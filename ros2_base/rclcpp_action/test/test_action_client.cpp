// The layer's action client against the test peer's server in another process:
// goal responses, feedback, results asked before and after the end, cancels and
// their refusals, the status of a deferred goal, names under a namespace, and a
// client that goes while its goals run. Each test has a ROS_DOMAIN_ID of its own.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "action_fixture.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "wire_test_msgs/action/sequence.hpp"

namespace {

using action_test::kStartup;
using Sequence = wire_test_msgs::action::Sequence;
using GoalHandle = rclcpp_action::ClientGoalHandle<Sequence>;
using CancelResponse = action_msgs::srv::CancelGoal::Response;

class ActionClient : public action_test::ActionTest {
 protected:
  // Starts a peer server on `action` and a client of it here.
  rclcpp_action::Client<Sequence>::SharedPtr start_with_server(
      const std::string& domain_id, const std::string& action = "sequence") {
    start(domain_id, "client");
    server_ = peer({"server", action});
    auto client = rclcpp_action::create_client<Sequence>(node_, action);
    EXPECT_TRUE(client->wait_for_action_server(kStartup));
    return client;
  }

  Sequence::Goal goal(int32_t order, const std::string& plan) {
    Sequence::Goal goal;
    goal.order = order;
    goal.plan = plan;
    return goal;
  }

  // Sends and waits for the goal response; nullptr when refused or unanswered.
  std::shared_ptr<GoalHandle> send(
      const rclcpp_action::Client<Sequence>::SharedPtr& client, const Sequence::Goal& goal,
      const rclcpp_action::Client<Sequence>::SendGoalOptions& options = {}) {
    auto future = client->async_send_goal(goal, options);
    if (!complete(future)) {
      ADD_FAILURE() << "no goal response";
      return nullptr;
    }
    return future.get();
  }

  GoalHandle::WrappedResult result_of(std::shared_future<GoalHandle::WrappedResult> future) {
    EXPECT_TRUE(complete(future));
    return future.get();
  }

  CancelResponse::SharedPtr cancel_response(std::shared_future<CancelResponse::SharedPtr> future) {
    EXPECT_TRUE(complete(future));
    return future.get();
  }

  std::unique_ptr<test_support::ChildProcess> server_;
};

TEST_F(ActionClient, AcceptedGoalGivesFeedbackAndItsResultAskedForAtOnce) {
  auto client = start_with_server("60");
  std::vector<std::vector<int32_t>> feedback;
  std::vector<std::string> events;
  rclcpp_action::Client<Sequence>::SendGoalOptions options;
  options.goal_response_callback = [&](GoalHandle::SharedPtr handle) {
    events.push_back(handle ? "accepted" : "rejected");
  };
  options.feedback_callback = [&](GoalHandle::SharedPtr,
                                  std::shared_ptr<const Sequence::Feedback> f) {
    feedback.push_back(f->partial_sequence);
  };
  options.result_callback = [&](const GoalHandle::WrappedResult& result) {
    events.push_back("result " + std::to_string(static_cast<int>(result.code)));
  };
  auto handle = send(client, goal(4, "succeed"), options);
  ASSERT_TRUE(handle);
  EXPECT_TRUE(handle->is_feedback_aware());
  EXPECT_TRUE(handle->is_result_aware());
  // As rclcpp_action 16 servers answer: the response's stamp is left zero.
  EXPECT_EQ(handle->get_goal_stamp().nanoseconds(), 0);
  auto wrapped = result_of(client->async_get_result(handle));
  EXPECT_EQ(wrapped.code, rclcpp_action::ResultCode::SUCCEEDED);
  EXPECT_EQ(wrapped.goal_id, handle->get_goal_id());
  EXPECT_EQ(wrapped.result->sequence, (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(wrapped.result->outcome, "succeeded");
  EXPECT_EQ(events, (std::vector<std::string>{"accepted", "result 4"}));
  EXPECT_EQ(handle->get_status(), action_msgs::msg::GoalStatus::STATUS_SUCCEEDED);
  ASSERT_FALSE(feedback.empty());
  EXPECT_EQ(feedback.back(), (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_TRUE(std::is_sorted(feedback.begin(), feedback.end(),
                             [](const auto& a, const auto& b) { return a.size() < b.size(); }));
  // Once its result has come the client forgets the goal, as rclcpp_action does.
  EXPECT_THROW(client->async_get_result(handle), rclcpp_action::exceptions::UnknownGoalHandleError);
  EXPECT_THROW(client->async_cancel_goal(handle),
               rclcpp_action::exceptions::UnknownGoalHandleError);
}

TEST_F(ActionClient, RefusedGoalAndAbortedGoal) {
  auto client = start_with_server("61");
  bool refused_callback = false;
  rclcpp_action::Client<Sequence>::SendGoalOptions options;
  options.goal_response_callback = [&](GoalHandle::SharedPtr handle) {
    refused_callback = !handle;
  };
  EXPECT_EQ(send(client, goal(2, "reject"), options), nullptr);
  EXPECT_TRUE(refused_callback);

  options.result_callback = [](const GoalHandle::WrappedResult&) {};
  auto handle = send(client, goal(2, "abort"), options);
  ASSERT_TRUE(handle);
  auto wrapped = result_of(client->async_get_result(handle));
  EXPECT_EQ(wrapped.code, rclcpp_action::ResultCode::ABORTED);
  EXPECT_EQ(wrapped.result->sequence, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(wrapped.result->outcome, "aborted");
  EXPECT_EQ(handle->get_status(), action_msgs::msg::GoalStatus::STATUS_ABORTED);
}

TEST_F(ActionClient, CancelAcceptedRefusedAndTooLate) {
  auto client = start_with_server("62");
  rclcpp_action::Client<Sequence>::SendGoalOptions aware;
  aware.result_callback = [](const GoalHandle::WrappedResult&) {};

  auto held = send(client, goal(0, "hold"), aware);
  ASSERT_TRUE(held);
  auto held_result = client->async_get_result(held);
  CancelResponse::SharedPtr by_callback;
  auto accepted = cancel_response(
      client->async_cancel_goal(held, [&](CancelResponse::SharedPtr r) { by_callback = r; }));
  EXPECT_EQ(accepted->return_code, CancelResponse::ERROR_NONE);
  ASSERT_EQ(accepted->goals_canceling.size(), 1u);
  EXPECT_EQ(accepted->goals_canceling[0].goal_id.uuid, held->get_goal_id());
  EXPECT_NE(accepted->goals_canceling[0].stamp.sec, 0);
  EXPECT_EQ(by_callback, accepted);
  auto canceled = result_of(held_result);
  EXPECT_EQ(canceled.code, rclcpp_action::ResultCode::CANCELED);
  EXPECT_EQ(canceled.result->outcome, "canceled");

  auto stubborn = send(client, goal(2, "refuse_cancel"), aware);
  ASSERT_TRUE(stubborn);
  auto stubborn_result = client->async_get_result(stubborn);
  auto refused = cancel_response(client->async_cancel_goal(stubborn));
  EXPECT_EQ(refused->return_code, CancelResponse::ERROR_REJECTED);
  EXPECT_TRUE(refused->goals_canceling.empty());
  EXPECT_EQ(result_of(stubborn_result).code, rclcpp_action::ResultCode::SUCCEEDED);

  // Without a result callback the client keeps the goal after its end; a cancel then is late.
  auto ended = send(client, goal(0, "succeed"));
  ASSERT_TRUE(ended);
  ASSERT_TRUE(spin_until([&] { return ended->get_status() == 4; }));
  auto late = cancel_response(client->async_cancel_goal(ended));
  EXPECT_EQ(late->return_code, CancelResponse::ERROR_GOAL_TERMINATED);
  EXPECT_TRUE(late->goals_canceling.empty());
}

TEST_F(ActionClient, CancelBeforeAStampAndCancelAllReachGoalsOfAnyClient) {
  auto client = start_with_server("63");
  rclcpp_action::Client<Sequence>::SendGoalOptions aware;
  aware.result_callback = [](const GoalHandle::WrappedResult&) {};
  auto first = send(client, goal(0, "hold"), aware);
  ASSERT_TRUE(first);
  ASSERT_TRUE(spin_until([&] { return first->get_status() == 2; }));
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const rclcpp::Time between(
      std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count());
  auto second = send(client, goal(0, "hold"), aware);
  ASSERT_TRUE(second);
  auto first_result = client->async_get_result(first);
  auto second_result = client->async_get_result(second);

  auto before = cancel_response(client->async_cancel_goals_before(between));
  EXPECT_EQ(before->return_code, CancelResponse::ERROR_NONE);
  ASSERT_EQ(before->goals_canceling.size(), 1u);
  EXPECT_EQ(before->goals_canceling[0].goal_id.uuid, first->get_goal_id());
  EXPECT_EQ(result_of(first_result).code, rclcpp_action::ResultCode::CANCELED);

  // A second client of the same node: cancel-all names every goal of the server.
  auto another = rclcpp_action::create_client<Sequence>(node_, "sequence");
  ASSERT_TRUE(another->wait_for_action_server(kStartup));
  auto all = cancel_response(another->async_cancel_all_goals());
  EXPECT_EQ(all->return_code, CancelResponse::ERROR_NONE);
  ASSERT_EQ(all->goals_canceling.size(), 1u);
  EXPECT_EQ(all->goals_canceling[0].goal_id.uuid, second->get_goal_id());
  EXPECT_EQ(result_of(second_result).code, rclcpp_action::ResultCode::CANCELED);
  auto nothing_left = cancel_response(another->async_cancel_all_goals());
  EXPECT_EQ(nothing_left->return_code, CancelResponse::ERROR_NONE);
  EXPECT_TRUE(nothing_left->goals_canceling.empty());
}

TEST_F(ActionClient, ResultAskedAfterTheEndAndDeferredGoalsStatus) {
  auto client = start_with_server("64");
  auto handle = send(client, goal(2, "defer"));
  ASSERT_TRUE(handle);
  EXPECT_FALSE(handle->is_result_aware());
  EXPECT_FALSE(handle->is_feedback_aware());
  std::vector<int8_t> seen{handle->get_status()};
  ASSERT_TRUE(spin_until([&] {
    if (handle->get_status() != seen.back()) seen.push_back(handle->get_status());
    return seen.back() == 4;
  }));
  EXPECT_EQ(seen, (std::vector<int8_t>{1, 2, 4}));
  bool called = false;
  auto future = client->async_get_result(
      handle, [&](const GoalHandle::WrappedResult& result) { called = result.result != nullptr; });
  EXPECT_TRUE(handle->is_result_aware());
  auto wrapped = result_of(future);
  EXPECT_EQ(wrapped.code, rclcpp_action::ResultCode::SUCCEEDED);
  EXPECT_EQ(wrapped.result->sequence, (std::vector<int32_t>{1, 2}));
  EXPECT_TRUE(called);
}

TEST_F(ActionClient, NamesResolveUnderTheNodesNamespace) {
  start("65", "client", {"--ros-args", "-r", "__ns:=/robot1"});
  auto relative = rclcpp_action::create_client<Sequence>(node_, "seq");
  auto absolute = rclcpp_action::create_client<Sequence>(node_, "/seq");
  auto private_name = rclcpp_action::create_client<Sequence>(node_.get(), "~/seq");
  EXPECT_FALSE(relative->action_server_is_ready());
  server_ = peer({"server", "seq", "--ros-args", "-r", "__ns:=/robot1"});
  ASSERT_TRUE(relative->wait_for_action_server(kStartup));
  EXPECT_FALSE(absolute->wait_for_action_server(std::chrono::milliseconds(300)));
  EXPECT_FALSE(private_name->action_server_is_ready());
  rclcpp_action::Client<Sequence>::SendGoalOptions aware;
  aware.result_callback = [](const GoalHandle::WrappedResult&) {};
  auto handle = send(relative, goal(1, "succeed"), aware);
  ASSERT_TRUE(handle);
  EXPECT_EQ(result_of(relative->async_get_result(handle)).code,
            rclcpp_action::ResultCode::SUCCEEDED);
  const auto topics = node_->get_topic_names_and_types();
  ASSERT_TRUE(topics.count("/robot1/seq/_action/feedback"));
  EXPECT_EQ(topics.at("/robot1/seq/_action/feedback"),
            (std::vector<std::string>{"wire_test_msgs/action/Sequence_FeedbackMessage"}));
  EXPECT_TRUE(topics.count("/robot1/seq/_action/status"));
  EXPECT_THROW(rclcpp_action::create_client<Sequence>(node_, ""), rclcpp::exceptions::RCLError);
}

TEST_F(ActionClient, GoingAwayInvalidatesTheGoalsItStillHolds) {
  auto client = start_with_server("66");
  rclcpp_action::Client<Sequence>::SendGoalOptions aware;
  aware.result_callback = [](const GoalHandle::WrappedResult&) {};
  auto handle = send(client, goal(0, "hold"), aware);
  ASSERT_TRUE(handle);
  auto result = client->async_get_result(handle);
  client.reset();
  ASSERT_EQ(result.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_THROW(result.get(), rclcpp_action::exceptions::UnawareGoalHandleError);
  EXPECT_EQ(handle->get_status(), action_msgs::msg::GoalStatus::STATUS_UNKNOWN);

  // A client that its own result callback lets go finishes the callback unharmed.
  auto second = rclcpp_action::create_client<Sequence>(node_, "sequence");
  ASSERT_TRUE(second->wait_for_action_server(kStartup));
  bool called = false;
  rclcpp_action::Client<Sequence>::SendGoalOptions letting_go;
  letting_go.result_callback = [&](const GoalHandle::WrappedResult& wrapped) {
    called = wrapped.code == rclcpp_action::ResultCode::CANCELED;
    second.reset();
  };
  auto held = send(second, goal(0, "hold"), letting_go);
  ASSERT_TRUE(held);
  auto all = second->async_cancel_all_goals();
  ASSERT_TRUE(complete(all));
  ASSERT_TRUE(spin_until([&] { return called; }));
  EXPECT_EQ(second, nullptr);
  // The goal the first client left is still the server's, and canceled by the cancel-all.
  EXPECT_EQ(all.get()->goals_canceling.size(), 2u);
}

}  // namespace
