#include "rclcpp_action/generic_client.hpp"

#include <utility>

#include "unique_identifier_msgs/msg/uuid.hpp"

namespace rclcpp_action {
namespace {

using UUID = unique_identifier_msgs::msg::UUID;

// The action's services and feedback message carry these fields whatever the action;
// the generated types of the fixed parts are the ones this library knows.
GoalUUID& goal_id_of(const rclcpp_dds::DynamicType& type, void* message) {
  return static_cast<UUID*>(type.field(message, "goal_id"))->uuid;
}

}  // namespace

GenericClient::GenericClient(rclcpp::Node& node, const std::string& action_name,
                             const std::string& action_type)
    : ClientBase(node, action_name) {
  goal_client_ =
      node.create_generic_client(action_name + "/_action/send_goal", action_type + "_SendGoal");
  result_client_ =
      node.create_generic_client(action_name + "/_action/get_result", action_type + "_GetResult");
  auto feedback_message = rclcpp_dds::DynamicType::load(action_type + "_FeedbackMessage");
  goal_type_ = goal_client_->request_type().field_type("goal");
  result_type_ = result_client_->response_type().field_type("result");
  feedback_type_ = feedback_message->field_type("feedback");
  auto slot = self_slot();
  feedback_subscription_ =
      node.create_dynamic_subscription(action_name + "/_action/feedback", feedback_message,
                                       rclcpp::QoS(10), [slot](std::shared_ptr<void> message) {
                                         if (auto self = detail::lock_as<GenericClient>(slot)) {
                                           self->handle_feedback_message(message);
                                         }
                                       });
  track_endpoints(goal_client_, result_client_, feedback_subscription_);
}

GoalUUID GenericClient::async_send_goal(const void* goal, GoalResponseCallback on_response,
                                        FeedbackCallback on_feedback) {
  const rclcpp_dds::DynamicType& request_type = goal_client_->request_type();
  auto request = goal_client_->create_request();
  const GoalUUID goal_id = generate_goal_id();
  goal_id_of(request_type, request.get()) = goal_id;
  goal_type_->copy(goal, request_type.field(request.get(), "goal"));
  if (on_feedback) {
    feedback_callbacks_[goal_id] = std::move(on_feedback);
  }
  auto slot = self_slot();
  goal_client_->async_send_request(
      request.get(), [slot, goal_id, on_response = std::move(on_response)](
                         rclcpp::GenericClient::SharedFuture future) {
        auto self = detail::lock_as<GenericClient>(slot);
        if (!self) {
          return;
        }
        const auto response = future.get();
        const bool accepted = *static_cast<const bool*>(
            self->goal_client_->response_type().field(response.get(), "accepted"));
        if (!accepted) {
          self->feedback_callbacks_.erase(goal_id);
        }
        on_response(accepted);
      });
  return goal_id;
}

void GenericClient::async_get_result(const GoalUUID& goal_id, ResultCallback on_result) {
  auto request = result_client_->create_request();
  goal_id_of(result_client_->request_type(), request.get()) = goal_id;
  auto slot = self_slot();
  result_client_->async_send_request(
      request.get(), [slot, goal_id, on_result = std::move(on_result)](
                         rclcpp::GenericClient::SharedFuture future) {
        auto self = detail::lock_as<GenericClient>(slot);
        if (!self) {
          return;
        }
        self->feedback_callbacks_.erase(goal_id);
        const auto response = future.get();
        const auto& type = self->result_client_->response_type();
        const int8_t status = *static_cast<const int8_t*>(type.field(response.get(), "status"));
        // The result lives inside the response it came in.
        on_result(status,
                  std::shared_ptr<const void>(response, type.field(response.get(), "result")));
      });
}

void GenericClient::async_cancel_goal(const GoalUUID& goal_id, CancelCallback on_response) {
  auto request = std::make_shared<CancelRequest>();
  request->goal_info.goal_id.uuid = goal_id;
  send_cancel_request(request, std::move(on_response));
}

void GenericClient::handle_feedback_message(const std::shared_ptr<void>& message) {
  const rclcpp_dds::DynamicType& type = feedback_subscription_->type();
  const auto callback = feedback_callbacks_.find(goal_id_of(type, message.get()));
  if (callback != feedback_callbacks_.end()) {
    callback->second(std::shared_ptr<const void>(message, type.field(message.get(), "feedback")));
  }
}

}  // namespace rclcpp_action
