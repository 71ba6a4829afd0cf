// The layer's action server in this process against the test peer's client in
// another: what the client sees must be what it sees of a server built on
// rclcpp_action 16.0.11 (the expected transcripts are those of the peer against
// the real one, recorded by ros2_compat/action_compare.sh's reference runs);
// goal handle states and refused transitions; a client that goes away mid-goal;
// the server's names and types in the graph; goal ids used twice; a server let
// go by its own callback. Each test has a ROS_DOMAIN_ID of its own.
#include <signal.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "action_fixture.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "sequence_server.hpp"
#include "wire_test_msgs/action/sequence.hpp"

namespace {

using action_test::kReply;
using action_test::milliseconds;
using Sequence = wire_test_msgs::action::Sequence;
using ServerGoalHandle = rclcpp_action::ServerGoalHandle<Sequence>;

using Transcript = std::vector<std::string>;

const std::map<std::string, Transcript> kRealTranscripts = {
    {"succeed",
     {"server ready", "accepted stamp zero", "aware feedback yes result yes",
      "result SUCCEEDED [1 2 3 4 5] succeeded", "feedback last [1 2 3 4 5] in order",
      "status SUCCEEDED", "result callback SUCCEEDED", "done"}},
    {"abort",
     {"server ready", "accepted stamp zero", "aware feedback yes result yes",
      "result ABORTED [1 2 3 4 5] aborted", "feedback last [1 2 3 4 5] in order", "status ABORTED",
      "result callback ABORTED", "done"}},
    {"reject", {"server ready", "goal rejected, response callback R", "done"}},
    {"cancel", {"server ready", "return 0 canceling 1", "result CANCELED [1] canceled", "done"}},
    {"cancel_refused",
     {"server ready", "return 1 canceling 0", "result SUCCEEDED [1 2 3] succeeded", "done"}},
    {"cancel_all",
     {"server ready", "return 0 canceling 2", "first CANCELED [] canceled",
      "second CANCELED [] canceled", "done"}},
    {"cancel_before",
     {"server ready", "return 0 canceling 1", "first CANCELED [] canceled", "return 0 canceling 1",
      "second CANCELED [] canceled", "done"}},
    {"after_end",
     {"server ready", "aware result no", "return 3 canceling 0", "result SUCCEEDED [] succeeded",
      "handle unknown after its result", "done"}},
    {"unknown",
     {"server ready", "raw cancel return 2", "raw result status 0", "return 0 canceling 0",
      "done"}},
    {"defer",
     {"server ready", "statuses ACCEPTED EXECUTING SUCCEEDED", "result SUCCEEDED [1 2] succeeded",
      "done"}},
    {"drop", {"server ready", "result CANCELED [] ", "done"}},
    {"status",
     {"server ready", "status first SUCCEEDED, second ABORTED, third CANCELED",
      "late subscriber first SUCCEEDED, second ABORTED, third CANCELED", "done"}},
    {"expire",
     {"server ready", "result SUCCEEDED [] succeeded", "raw result status 4",
      "raw result status later 0", "raw cancel return 2",
      "late status with the expired goal SUCCEEDED", "done"}},
};

class ActionServer : public action_test::ActionTest {
 protected:
  // The peer server's logic, here, reporting into log_.
  void serve(const std::string& action, double result_timeout_seconds = -1) {
    auto options = rcl_action_server_get_default_options();
    if (result_timeout_seconds >= 0) {
      options.result_timeout.nanoseconds = static_cast<int64_t>(result_timeout_seconds * 1e9);
    }
    server_ = std::make_unique<action_peer::SequenceServer>(
        node_, action, options, [this](const std::string& line) { log_.push_back(line); });
  }

  // Runs a peer client to its end while this process serves; its stdout lines.
  Transcript run_client(std::vector<std::string> args, int expected_exit = 0) {
    args.insert(args.begin(), "client");
    auto client = peer(args);
    std::optional<int> status;
    spin_until([&] { return (status = client->wait_exit(milliseconds(0))).has_value(); },
               milliseconds(40000), [this] { server_->step(); });
    EXPECT_EQ(status, expected_exit) << client->stderr_text();
    return client->stdout_lines();
  }

  bool logged(const std::string& line) const {
    return std::find(log_.begin(), log_.end(), line) != log_.end();
  }

  std::unique_ptr<action_peer::SequenceServer> server_;
  std::vector<std::string> log_;
};

TEST_F(ActionServer, ClientProcessSeesWhatARealServerGivesIt) {
  start("70", "action_peer_server");
  serve("sequence");
  for (const char* scenario :
       {"succeed", "reject", "abort", "cancel", "cancel_refused", "cancel_all", "cancel_before",
        "after_end", "unknown", "defer", "drop"}) {
    EXPECT_EQ(run_client({scenario}), kRealTranscripts.at(scenario)) << scenario;
  }
}

TEST_F(ActionServer, StatusTopicListsEveryGoalAndResultsExpire) {
  start("71", "action_peer_server");
  serve("sequence", 1.5);
  for (const char* scenario : {"status", "expire"}) {
    EXPECT_EQ(run_client({scenario}), kRealTranscripts.at(scenario)) << scenario;
  }
}

TEST_F(ActionServer, GoalHandleStatesAndRefusedTransitions) {
  start("72", "action_peer_server");
  std::shared_ptr<ServerGoalHandle> handle;
  std::vector<std::string> refused;
  auto expect_refused = [&](const char* what, const std::function<void()>& transition) {
    try {
      transition();
      refused.push_back(std::string(what) + " allowed");
    } catch (const rclcpp::exceptions::RCLError& error) {
      refused.push_back(error.what());
    }
  };
  auto result = std::make_shared<Sequence::Result>();
  result->sequence = {1, 2};
  result->outcome = "succeeded";
  auto server = rclcpp_action::create_server<Sequence>(
      node_, "sequence",
      [](const rclcpp_action::GoalUUID&, std::shared_ptr<const Sequence::Goal>) {
        return rclcpp_action::GoalResponse::ACCEPT_AND_DEFER;
      },
      [](std::shared_ptr<ServerGoalHandle>) { return rclcpp_action::CancelResponse::ACCEPT; },
      [&](std::shared_ptr<ServerGoalHandle> accepted) {
        handle = accepted;
        EXPECT_TRUE(handle->is_active());
        EXPECT_FALSE(handle->is_executing());
        EXPECT_FALSE(handle->is_canceling());
        EXPECT_EQ(handle->get_goal()->plan, "defer");
        expect_refused("succeed", [&] { handle->succeed(result); });
        expect_refused("canceled", [&] { handle->canceled(result); });
      });
  auto client = peer({"client", "defer"});
  ASSERT_TRUE(spin_until([&] { return handle != nullptr; }));
  handle->execute();
  EXPECT_TRUE(handle->is_executing());
  expect_refused("execute", [&] { handle->execute(); });
  auto feedback = std::make_shared<Sequence::Feedback>();
  feedback->partial_sequence = {1};
  handle->publish_feedback(feedback);
  handle->succeed(result);
  EXPECT_FALSE(handle->is_active());
  expect_refused("succeed", [&] { handle->succeed(result); });
  expect_refused("abort", [&] { handle->abort(result); });
  EXPECT_EQ(refused, (std::vector<std::string>{
                         "goal_handle attempted invalid transition from state ACCEPTED with "
                         "event SUCCEED",
                         "goal_handle attempted invalid transition from state ACCEPTED with "
                         "event CANCELED",
                         "goal_handle attempted invalid transition from state EXECUTING with "
                         "event EXECUTE",
                         "goal_handle attempted invalid transition from state SUCCEEDED with "
                         "event SUCCEED",
                         "goal_handle attempted invalid transition from state SUCCEEDED with "
                         "event ABORT"}));
  // EXECUTING and SUCCEEDED went out back to back: the client may see the latter alone.
  ASSERT_TRUE(spin_until([&] { return client->wait_exit(milliseconds(0)).has_value(); }));
  const auto transcript = client->stdout_lines();
  ASSERT_EQ(transcript.size(), 4u);
  EXPECT_EQ(transcript[2], "result SUCCEEDED [1 2] succeeded");
}

TEST_F(ActionServer, ClientThatGoesAwayMidGoalLeavesTheServerServing) {
  start("73", "action_peer_server");
  serve("sequence");
  // Killed once its goal runs: the result it asked for has nowhere to go.
  auto killed = peer({"client", "succeed"});
  ASSERT_TRUE(spin_until([&] { return logged("accepted succeed executing"); }, kReply,
                         [this] { server_->step(); }));
  killed->send_signal(SIGKILL);
  ASSERT_TRUE(spin_until([&] { return logged("ended succeeded succeed"); }, kReply,
                         [this] { server_->step(); }));
  // One that leaves by itself while its goal runs.
  EXPECT_EQ(run_client({"leave"}), (Transcript{"server ready", "leaving"}));
  EXPECT_EQ(run_client({"succeed"}), kRealTranscripts.at("succeed"));
  ASSERT_TRUE(spin_until([&] { return server_->idle(); }, kReply, [this] { server_->step(); }));
  EXPECT_EQ(std::count(log_.begin(), log_.end(), "ended succeeded succeed"), 3);
}

TEST_F(ActionServer, NamespacedServerHasRclActionsNamesAndTypes) {
  start("74", "action_peer_server", {"--ros-args", "-r", "__ns:=/robot1"});
  serve("seq");
  EXPECT_EQ(run_client({"succeed", "/robot1/seq"}), kRealTranscripts.at("succeed"));
  const auto services = node_->get_service_names_and_types_by_node("action_peer_server", "/robot1");
  const std::map<std::string, std::string> expected_services = {
      {"/robot1/seq/_action/cancel_goal", "action_msgs/srv/CancelGoal"},
      {"/robot1/seq/_action/get_result", "wire_test_msgs/action/Sequence_GetResult"},
      {"/robot1/seq/_action/send_goal", "wire_test_msgs/action/Sequence_SendGoal"}};
  for (const auto& [name, type] : expected_services) {
    ASSERT_TRUE(services.count(name)) << name;
    EXPECT_EQ(services.at(name), std::vector<std::string>{type}) << name;
  }
  const auto topics = node_->get_publisher_names_and_types_by_node("action_peer_server", "/robot1");
  ASSERT_TRUE(topics.count("/robot1/seq/_action/status"));
  EXPECT_EQ(topics.at("/robot1/seq/_action/status"),
            std::vector<std::string>{"action_msgs/msg/GoalStatusArray"});
  const auto status = node_->get_publishers_info_by_topic("/robot1/seq/_action/status");
  ASSERT_EQ(status.size(), 1u);
  EXPECT_EQ(status[0].qos_profile().durability(), rclcpp::DurabilityPolicy::TransientLocal);
  EXPECT_EQ(status[0].qos_profile().depth(), 1u);
  EXPECT_THROW(rclcpp_action::create_server<Sequence>(
                   node_, "", [](auto&, auto) { return rclcpp_action::GoalResponse::REJECT; },
                   [](auto) { return rclcpp_action::CancelResponse::REJECT; }, [](auto) {}),
               rclcpp::exceptions::RCLError);
}

TEST_F(ActionServer, GoalIdUsedTwiceIsRefusedWithoutAskingTheServer) {
  start("75", "server");
  int asked = 0;
  std::shared_ptr<ServerGoalHandle> kept;
  auto server = rclcpp_action::create_server<Sequence>(
      node_.get(), "sequence",
      [&](const rclcpp_action::GoalUUID&, std::shared_ptr<const Sequence::Goal>) {
        ++asked;
        return rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
      },
      [](std::shared_ptr<ServerGoalHandle>) { return rclcpp_action::CancelResponse::ACCEPT; },
      [&](std::shared_ptr<ServerGoalHandle> handle) { kept = handle; });
  using SendGoal = Sequence::Impl::SendGoalService;
  using GetResult = Sequence::Impl::GetResultService;
  auto send_goal = node_->create_client<SendGoal>("sequence/_action/send_goal");
  auto get_result = node_->create_client<GetResult>("sequence/_action/get_result");
  ASSERT_TRUE(send_goal->wait_for_service(action_test::kStartup));
  ASSERT_TRUE(get_result->wait_for_service(action_test::kStartup));
  auto request = std::make_shared<SendGoal::Request>();
  request->goal_id.uuid[0] = 42;
  auto first = send_goal->async_send_request(request);
  ASSERT_TRUE(complete(first));
  auto first_response = first.get();
  EXPECT_TRUE(first_response->accepted);
  EXPECT_EQ(first_response->stamp.sec, 0);
  auto second = send_goal->async_send_request(request);
  ASSERT_TRUE(complete(second));
  EXPECT_FALSE(second.get()->accepted);
  EXPECT_EQ(asked, 1);
  // A result asked for while the goal runs comes when it ends.
  auto result_request = std::make_shared<GetResult::Request>();
  result_request->goal_id.uuid[0] = 42;
  auto result = get_result->async_send_request(result_request);
  EXPECT_FALSE(spin_until(
      [&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
      milliseconds(300)));
  ASSERT_TRUE(kept);
  auto outcome = std::make_shared<Sequence::Result>();
  outcome->outcome = "done twice?";
  kept->abort(outcome);
  ASSERT_TRUE(complete(result));
  auto result_response = result.get();
  EXPECT_EQ(result_response->status, action_msgs::msg::GoalStatus::STATUS_ABORTED);
  EXPECT_EQ(result_response->result.outcome, "done twice?");
}

TEST_F(ActionServer, ServerLetGoByItsOwnCallbackFinishesTheCallback) {
  start("76", "server");
  std::shared_ptr<ServerGoalHandle> kept;
  rclcpp_action::Server<Sequence>::SharedPtr server;
  server = rclcpp_action::create_server<Sequence>(
      node_, "sequence",
      [](const rclcpp_action::GoalUUID&, std::shared_ptr<const Sequence::Goal>) {
        return rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
      },
      [](std::shared_ptr<ServerGoalHandle>) { return rclcpp_action::CancelResponse::ACCEPT; },
      [&](std::shared_ptr<ServerGoalHandle> handle) {
        kept = handle;
        server.reset();
      });
  auto client = rclcpp_action::create_client<Sequence>(node_, "sequence");
  ASSERT_TRUE(client->wait_for_action_server(action_test::kStartup));
  auto goal = client->async_send_goal(Sequence::Goal());
  ASSERT_TRUE(complete(goal));
  ASSERT_TRUE(goal.get());
  ASSERT_TRUE(spin_until([&] { return kept != nullptr; }));
  EXPECT_EQ(server, nullptr);
  // The goal outlives its server: it can still end, and nothing goes out.
  kept->succeed(std::make_shared<Sequence::Result>());
  EXPECT_FALSE(kept->is_active());
  EXPECT_FALSE(client->action_server_is_ready());
}

}  // namespace
