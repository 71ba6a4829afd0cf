#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include <rclcpp/rclcpp.hpp>
#include <rclcpp_action/rclcpp_action.hpp>

#include "align_request/retry_supervisor.hpp"
#include "align_request/supervisor_topics.hpp"
#include "docking_server/action_messages.hpp"
#include "docking_server/server_parameters.hpp"

namespace docking_server {

// The dock and undock actions over the supervisor: one goal at a time, each
// run by the supervisor on align_controller's topics. Everything happens in
// the callbacks of spin_some and in tick(), on one thread.
class DockingServer {
 public:
  // now: seconds on a monotonic clock.
  DockingServer(rclcpp::Node::SharedPtr node, const ServerParameters& parameters,
                std::function<double()> now);

  // After each spin_some, at 20 Hz or faster: the supervisor's tick, the
  // running goal's feedback, and its result once it has ended.
  void tick();
  // SIGINT or SIGTERM: a running goal stops the robot and ends canceled; no new one is taken.
  void shut_down();
  bool busy() const { return accepting_ || dock_goal_ || undock_goal_; }

  // Feedback at every change of state or attempt, and at least this often.
  static constexpr double kFeedbackPeriod = 0.5;  // s

 private:
  using DockGoal = rclcpp_action::ServerGoalHandle<Dock>;
  using UndockGoal = rclcpp_action::ServerGoalHandle<Undock>;

  rclcpp_action::GoalResponse accept(const char* action, const std::string& refusal);
  void started(double now);
  void report(double now);
  void end_goal(double now);
  template <typename Goal>
  rclcpp_action::CancelResponse cancel(const std::shared_ptr<Goal>& goal,
                                       const std::shared_ptr<Goal>& running);

  rclcpp::Node::SharedPtr node_;
  ServerParameters parameters_;
  std::function<double()> now_;
  align_request::SupervisorTopics topics_;
  align_request::RetrySupervisor supervisor_;
  rclcpp_action::Server<Dock>::SharedPtr dock_server_;
  rclcpp_action::Server<Undock>::SharedPtr undock_server_;

  bool accepting_ = false;  // accepted, its handle not yet here
  bool shutting_down_ = false;
  std::shared_ptr<DockGoal> dock_goal_;
  std::shared_ptr<UndockGoal> undock_goal_;
  double goal_at_ = 0.0;
  double reported_at_ = 0.0;
  std::optional<std::pair<align_request::RunState, int>> reported_;
};

}  // namespace docking_server
