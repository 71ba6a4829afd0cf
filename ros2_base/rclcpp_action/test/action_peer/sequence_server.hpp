#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "wire_test_msgs/action/sequence.hpp"

namespace action_peer {

using Sequence = wire_test_msgs::action::Sequence;

// The action tests' server, on either stack: each goal runs as its `plan` says.
//   succeed        counts to `order`, one feedback a number, then succeeds
//   abort          counts, then aborts
//   hold           counts, then waits for a cancel
//   refuse_cancel  refuses cancels, counts, succeeds
//   defer          accepted deferred, executed 0.3 s later, then as succeed
//   drop           the goal handle is let go at once (the goal ends canceled)
//   reject         refused
// Every callback and goal end is reported as a line ("goal PLAN ORDER", "accepted
// PLAN[ executing]", "cancel PLAN", "executing PLAN", "ended STATE PLAN").
class SequenceServer {
 public:
  SequenceServer(const std::shared_ptr<rclcpp::Node>& node, const std::string& action,
                 const rcl_action_server_options_t& options,
                 std::function<void(const std::string&)> report);

  // Advances the running goals; call between spins.
  void step();
  bool idle() const { return running_.empty(); }
  const rclcpp_action::Server<Sequence>::SharedPtr& server() const { return server_; }

 private:
  struct RunningGoal {
    std::shared_ptr<rclcpp_action::ServerGoalHandle<Sequence>> handle;
    int32_t done = 0;
    std::chrono::steady_clock::time_point next;
  };
  // False once the goal has ended.
  bool advance(RunningGoal& goal, std::chrono::steady_clock::time_point now);

  std::function<void(const std::string&)> report_;
  std::vector<RunningGoal> running_;
  rclcpp_action::Server<Sequence>::SharedPtr server_;
};

std::vector<int32_t> count_to(int32_t n);

}  // namespace action_peer
