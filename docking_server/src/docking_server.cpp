#include "docking_server/docking_server.hpp"

#include <cmath>
#include <cstdio>
#include <string>

namespace docking_server {

namespace {

using align_request::EndReason;
using rclcpp_action::CancelResponse;
using rclcpp_action::GoalResponse;

align_request::Options supervisor_options(const ServerParameters& p) {
  align_request::Options o;
  o.timeout = p.attempt_timeout;
  o.attempts = p.max_attempts;
  o.staging_distance = p.staging_distance;
  o.backoff_speed = p.backoff_speed;
  o.perception_timeout = p.perception_timeout;
  o.stage_first = p.stage_first;
  return o;
}

// Why a goal's staging distance cannot be taken; empty when it can (0 takes the parameter).
std::string staging_refusal(float staging_distance) {
  if (staging_distance == 0.0f ||
      (staging_distance >= kMinStagingDistance && staging_distance <= kMaxStagingDistance)) {
    return "";
  }
  char buf[128];
  std::snprintf(buf, sizeof buf, "staging_distance %g m is not from %g to %g m",
                static_cast<double>(staging_distance), kMinStagingDistance, kMaxStagingDistance);
  return buf;
}

std::string dock_refusal(const Dock::Goal& goal) {
  if (goal.max_attempts > kMaxAttempts) {
    return "max_attempts " + std::to_string(goal.max_attempts) + " is more than " +
           std::to_string(kMaxAttempts);
  }
  return staging_refusal(goal.staging_distance);
}

// Ends a goal by the run's end reason; a cancel nobody asked for is the server's shutdown.
template <typename Goal, typename Result>
const char* end(Goal& goal, EndReason reason, const Result& result) {
  if (reason == EndReason::kNone) {
    goal->succeed(result);
    return "succeeded";
  }
  if (reason == EndReason::kCanceled && goal->is_canceling()) {
    goal->canceled(result);
    return "canceled";
  }
  goal->abort(result);
  return "aborted";
}

}  // namespace

DockingServer::DockingServer(rclcpp::Node::SharedPtr node, const ServerParameters& parameters,
                             std::function<double()> now)
    : node_(std::move(node)),
      parameters_(parameters),
      now_(std::move(now)),
      topics_(*node_),
      supervisor_(supervisor_options(parameters), topics_) {
  topics_.feed(supervisor_, now_);
  dock_server_ = rclcpp_action::create_server<Dock>(
      node_, "dock",
      [this](const rclcpp_action::GoalUUID&, std::shared_ptr<const Dock::Goal> goal) {
        return accept("dock", dock_refusal(*goal));
      },
      [this](std::shared_ptr<DockGoal> goal) { return cancel(goal, dock_goal_); },
      [this](std::shared_ptr<DockGoal> goal) {
        dock_goal_ = goal;
        const Dock::Goal& g = *goal->get_goal();
        const double now = now_();
        supervisor_.controller(topics_.controller_discovered());
        supervisor_.dock(
            now, {g.max_attempts > 0 ? g.max_attempts : parameters_.max_attempts,
                  g.staging_distance > 0.0f ? g.staging_distance : parameters_.staging_distance,
                  parameters_.controller_timeout});
        started(now);
      });
  undock_server_ = rclcpp_action::create_server<Undock>(
      node_, "undock",
      [this](const rclcpp_action::GoalUUID&, std::shared_ptr<const Undock::Goal> goal) {
        return accept("undock", staging_refusal(goal->staging_distance));
      },
      [this](std::shared_ptr<UndockGoal> goal) { return cancel(goal, undock_goal_); },
      [this](std::shared_ptr<UndockGoal> goal) {
        undock_goal_ = goal;
        const float staging = goal->get_goal()->staging_distance;
        const double now = now_();
        supervisor_.undock(now, staging > 0.0f ? staging : parameters_.staging_distance);
        started(now);
      });
}

void DockingServer::tick() {
  const double now = now_();
  supervisor_.controller(topics_.controller_discovered());
  supervisor_.tick(now);
  if (!dock_goal_ && !undock_goal_) {
    return;
  }
  if (supervisor_.finished()) {
    end_goal(now);
  } else {
    report(now);
  }
}

void DockingServer::shut_down() {
  shutting_down_ = true;
  supervisor_.cancel(now_());
}

GoalResponse DockingServer::accept(const char* action, const std::string& refusal) {
  const std::string why = shutting_down_ ? "the server is shutting down"
                          : busy()       ? "another goal is running"
                                         : refusal;
  if (!why.empty()) {
    topics_.line(std::string(action) + " goal rejected: " + why);
    return GoalResponse::REJECT;
  }
  topics_.line(std::string(action) + " goal accepted");
  accepting_ = true;
  return GoalResponse::ACCEPT_AND_EXECUTE;
}

template <typename Goal>
CancelResponse DockingServer::cancel(const std::shared_ptr<Goal>& goal,
                                     const std::shared_ptr<Goal>& running) {
  if (goal != running) {
    return CancelResponse::REJECT;
  }
  topics_.line("cancel requested");
  supervisor_.cancel(now_());  // the stop goes out now, not at the next tick
  return CancelResponse::ACCEPT;
}

void DockingServer::started(double now) {
  accepting_ = false;
  goal_at_ = now;
  reported_.reset();
  report(now);
}

void DockingServer::report(double now) {
  const align_request::Progress progress = supervisor_.progress(now);
  const auto key = std::make_pair(progress.state, progress.attempt);
  if (reported_ == key && now - reported_at_ < kFeedbackPeriod) {
    return;
  }
  reported_ = key;
  reported_at_ = now;
  if (dock_goal_) {
    dock_goal_->publish_feedback(
        std::make_shared<Dock::Feedback>(dock_feedback(progress, now - goal_at_)));
  } else if (undock_goal_) {
    undock_goal_->publish_feedback(std::make_shared<Undock::Feedback>(undock_feedback(progress)));
  }
}

void DockingServer::end_goal(double now) {
  const auto pose = supervisor_.station(now);
  const EndReason reason = supervisor_.end_reason();
  const char* how = "";
  if (dock_goal_) {
    how = end(dock_goal_, reason, std::make_shared<Dock::Result>(dock_result(supervisor_, pose)));
    dock_goal_.reset();
  } else {
    how = end(undock_goal_, reason,
              std::make_shared<Undock::Result>(undock_result(supervisor_, pose)));
    undock_goal_.reset();
  }
  topics_.line(std::string("goal ") + how + ", error code " + std::to_string(error_code(reason)) +
               " after " + std::to_string(static_cast<int>(std::lround(now - goal_at_))) + " s");
}

}  // namespace docking_server
