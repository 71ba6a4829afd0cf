#include "sequence_server.hpp"

#include <utility>

namespace action_peer {
namespace {

using GoalHandle = rclcpp_action::ServerGoalHandle<Sequence>;
using std::chrono::milliseconds;

}  // namespace

std::vector<int32_t> count_to(int32_t n) {
  std::vector<int32_t> numbers;
  for (int32_t i = 1; i <= n; ++i) numbers.push_back(i);
  return numbers;
}

SequenceServer::SequenceServer(const std::shared_ptr<rclcpp::Node>& node, const std::string& action,
                               const rcl_action_server_options_t& options,
                               std::function<void(const std::string&)> report)
    : report_(std::move(report)) {
  server_ = rclcpp_action::create_server<Sequence>(
      node, action,
      [this](const rclcpp_action::GoalUUID&, std::shared_ptr<const Sequence::Goal> goal) {
        report_("goal " + goal->plan + " " + std::to_string(goal->order));
        if (goal->plan == "reject") return rclcpp_action::GoalResponse::REJECT;
        if (goal->plan == "defer") return rclcpp_action::GoalResponse::ACCEPT_AND_DEFER;
        return rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
      },
      [this](std::shared_ptr<GoalHandle> handle) {
        const auto& plan = handle->get_goal()->plan;
        report_("cancel " + plan);
        return plan == "refuse_cancel" ? rclcpp_action::CancelResponse::REJECT
                                       : rclcpp_action::CancelResponse::ACCEPT;
      },
      [this](std::shared_ptr<GoalHandle> handle) {
        report_("accepted " + handle->get_goal()->plan +
                (handle->is_executing() ? " executing" : ""));
        if (handle->get_goal()->plan != "drop") {
          // The first feedback waits for the client to have its goal handle.
          running_.push_back({handle, 0, std::chrono::steady_clock::now() + milliseconds(300)});
        }
      },
      options);
}

void SequenceServer::step() {
  const auto now = std::chrono::steady_clock::now();
  for (auto it = running_.begin(); it != running_.end();) {
    it = advance(*it, now) ? std::next(it) : running_.erase(it);
  }
}

bool SequenceServer::advance(RunningGoal& goal, std::chrono::steady_clock::time_point now) {
  const auto& request = *goal.handle->get_goal();
  auto result = std::make_shared<Sequence::Result>();
  result->sequence = count_to(goal.done);
  if (goal.handle->is_canceling()) {
    result->outcome = "canceled";
    goal.handle->canceled(result);
    report_("ended canceled " + request.plan);
    return false;
  }
  if (now < goal.next) {
    return true;
  }
  if (!goal.handle->is_executing()) {
    goal.handle->execute();
    report_("executing " + request.plan);
    goal.next = now + milliseconds(300);
    return true;
  }
  if (goal.done < request.order) {
    auto feedback = std::make_shared<Sequence::Feedback>();
    feedback->partial_sequence = count_to(++goal.done);
    goal.handle->publish_feedback(feedback);
    // Time after the last feedback for it to arrive before the result.
    goal.next = now + milliseconds(goal.done < request.order ? 50 : 150);
    return true;
  }
  if (request.plan == "hold") {
    goal.next = now + milliseconds(20);
    return true;
  }
  if (request.plan == "abort") {
    result->outcome = "aborted";
    goal.handle->abort(result);
    report_("ended aborted " + request.plan);
  } else {
    result->outcome = "succeeded";
    goal.handle->succeed(result);
    report_("ended succeeded " + request.plan);
  }
  return false;
}

}  // namespace action_peer
