#include "rclcpp_action/server.hpp"

#include <chrono>
#include <mutex>
#include <stdexcept>

#include "action_msgs/msg/goal_status_array.hpp"
#include "action_msgs/srv/cancel_goal.hpp"
#include "goal_table.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp_action/qos.hpp"

namespace rclcpp_action {
namespace {

using CancelGoal = action_msgs::srv::CancelGoal;
using GoalStatusArray = action_msgs::msg::GoalStatusArray;

constexpr int32_t kActionNameInvalid = 2000;  // RCL_RET_ACTION_NAME_INVALID
constexpr int32_t kInvalidArgument = 11;      // RCL_RET_INVALID_ARGUMENT

// rcl stamps accepted goals with the node's clock, the system's without ROS time.
builtin_interfaces::msg::Time now() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const int64_t nanoseconds =
      std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count();
  builtin_interfaces::msg::Time stamp;
  stamp.sec = static_cast<int32_t>(nanoseconds / 1000000000);
  stamp.nanosec = static_cast<uint32_t>(nanoseconds % 1000000000);
  return stamp;
}

void check_options(const std::string& name, const rcl_action_server_options_t& options) {
  if (name.empty()) {
    throw rclcpp::exceptions::RCLError(kActionNameInvalid, "invalid empty action name");
  }
  if (options.result_timeout.nanoseconds < 0) {
    throw rclcpp::exceptions::RCLError(kInvalidArgument, "timer period must be non-negative");
  }
}

}  // namespace

struct ServerBase::Impl {
  // Ends expired goals first, as rcl_action's timer would have by now.
  void expire(const GoalUUID* keep = nullptr) {
    goals.expire(detail::to_nanoseconds(now()), result_timeout, keep);
  }

  void publish_status() { status_publisher->publish(goals.status_array()); }

  int64_t result_timeout;
  // Goal handles may end goals from another thread than the one spinning.
  std::recursive_mutex mutex;
  detail::GoalTable goals;
  rclcpp::Service<CancelGoal>::SharedPtr cancel_service;
  rclcpp::Publisher<GoalStatusArray>::SharedPtr status_publisher;
};

ServerBase::ServerBase(rclcpp::Node& node, const std::string& name,
                       const rcl_action_server_options_t& options)
    : self_(std::make_shared<std::weak_ptr<ServerBase>>()), impl_(std::make_unique<Impl>()) {
  check_options(name, options);
  impl_->result_timeout = options.result_timeout.nanoseconds;
  auto slot = self_;
  try {
    impl_->cancel_service = node.create_service<CancelGoal>(
        name + "/_action/cancel_goal", [slot](std::shared_ptr<CancelGoal::Request> request,
                                              std::shared_ptr<CancelGoal::Response> response) {
          if (auto self = slot->lock()) {
            self->execute_cancel_request_received(*request, *response);
          }
        });
    impl_->status_publisher =
        node.create_publisher<GoalStatusArray>(name + "/_action/status", DefaultActionStatusQoS());
  } catch (const rclcpp::exceptions::NameValidationError& error) {
    throw rclcpp::exceptions::RCLError(kActionNameInvalid, error.what());
  }
}

ServerBase::~ServerBase() = default;

void ServerBase::activate(const std::shared_ptr<ServerBase>& self) { *self_ = self; }

void ServerBase::execute_goal_request_received(const std::shared_ptr<rmw_request_id_t>& request_id,
                                               std::shared_ptr<void> request,
                                               const GoalUUID& uuid) {
  bool known;
  {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    impl_->expire();
    known = impl_->goals.contains(uuid);
  }
  // rclcpp_action would accept a second goal with a known id and then throw out of
  // the executor; here the request is refused and the server goes on.
  if (known) {
    send_goal_response(*request_id, false);
    return;
  }
  const GoalResponse decision = call_handle_goal_callback(uuid, request);
  const bool accepted =
      decision == GoalResponse::ACCEPT_AND_EXECUTE || decision == GoalResponse::ACCEPT_AND_DEFER;
  send_goal_response(*request_id, accepted);
  if (!accepted) {
    return;
  }
  std::shared_ptr<detail::GoalRecord> record;
  {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    record = impl_->goals.accept(uuid, now());
    if (!record) {
      return;
    }
    if (decision == GoalResponse::ACCEPT_AND_EXECUTE) {
      record->update(detail::GoalEvent::execute);
    }
    impl_->publish_status();
  }
  call_goal_accepted_callback(std::move(record), uuid, std::move(request));
}

void ServerBase::execute_cancel_request_received(const CancelGoal::Request& request,
                                                 CancelGoal::Response& response) {
  detail::CancelSelection selection;
  {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    impl_->expire();
    selection = impl_->goals.select_for_cancel(request.goal_info);
  }
  response.return_code = selection.return_code;
  for (const auto& info : selection.goals) {
    if (call_handle_cancel_callback(info.goal_id.uuid) == CancelResponse::ACCEPT) {
      response.goals_canceling.push_back(info);
    }
  }
  // The user refused every goal the request named: the request as a whole is refused.
  if (!selection.goals.empty() && response.goals_canceling.empty()) {
    response.return_code = CancelGoal::Response::ERROR_REJECTED;
  }
  if (!response.goals_canceling.empty()) {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    impl_->publish_status();
  }
}

void ServerBase::execute_result_request_received(
    const std::shared_ptr<rmw_request_id_t>& request_id, const GoalUUID& uuid) {
  std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  impl_->expire();
  if (!impl_->goals.contains(uuid)) {
    send_result_response(*request_id,
                         create_result_response(action_msgs::msg::GoalStatus::STATUS_UNKNOWN));
  } else if (auto result = impl_->goals.result(uuid)) {
    send_result_response(*request_id, result);
  } else {
    impl_->goals.wait_for_result(uuid, *request_id);
  }
}

void ServerBase::on_executing(const GoalUUID&) {
  std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  impl_->expire();
  impl_->publish_status();
}

void ServerBase::on_terminal_state(const GoalUUID& uuid, std::shared_ptr<void> result_response) {
  std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
  // The goal ending now is listed once more before it can expire.
  impl_->expire(&uuid);
  for (auto& request_id : impl_->goals.set_result(uuid, result_response)) {
    send_result_response(request_id, result_response);
  }
  impl_->publish_status();
}

}  // namespace rclcpp_action
