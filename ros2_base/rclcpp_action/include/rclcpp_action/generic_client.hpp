#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "rclcpp/generic_client.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp_action/client.hpp"
#include "rclcpp_dds/dynamic_type.hpp"

namespace rclcpp_action {

// An action client for a type known by name at run time ("pkg/action/Type"): goals,
// feedback and results are messages of the action's types, made by goal_type() and
// the like. No goal handles: the caller keeps a goal's id and asks by it. Every
// callback runs inside spin_some.
class GenericClient : public ClientBase {
 public:
  using SharedPtr = std::shared_ptr<GenericClient>;
  using CancelResponse = action_msgs::srv::CancelGoal::Response;
  using GoalResponseCallback = std::function<void(bool accepted)>;
  using FeedbackCallback = std::function<void(std::shared_ptr<const void> feedback)>;
  using ResultCallback = std::function<void(int8_t status, std::shared_ptr<const void> result)>;
  using CancelCallback = std::function<void(std::shared_ptr<CancelResponse>)>;

  // Use create_generic_client. Throws std::runtime_error for a type that cannot be loaded.
  GenericClient(rclcpp::Node& node, const std::string& action_name, const std::string& action_type);

  const rclcpp_dds::DynamicType& goal_type() const { return *goal_type_; }
  const rclcpp_dds::DynamicType& feedback_type() const { return *feedback_type_; }
  const rclcpp_dds::DynamicType& result_type() const { return *result_type_; }

  // Sends a copy of `goal` (a message of goal_type()) under a new id, which it returns.
  // Feedback for the goal goes to on_feedback from then on.
  GoalUUID async_send_goal(const void* goal, GoalResponseCallback on_response,
                           FeedbackCallback on_feedback = nullptr);
  void async_get_result(const GoalUUID& goal_id, ResultCallback on_result);
  void async_cancel_goal(const GoalUUID& goal_id, CancelCallback on_response);
  // The goal's state in the latest status message, if it was listed there.
  std::optional<int8_t> get_status(const GoalUUID& goal_id) const {
    return last_status_of(goal_id);
  }

 private:
  void handle_status_message(std::shared_ptr<void>) override {}
  void handle_feedback_message(const std::shared_ptr<void>& message);

  rclcpp::GenericClient::SharedPtr goal_client_;
  rclcpp::GenericClient::SharedPtr result_client_;
  rclcpp::DynamicSubscription::SharedPtr feedback_subscription_;
  std::shared_ptr<const rclcpp_dds::DynamicType> goal_type_;
  std::shared_ptr<const rclcpp_dds::DynamicType> feedback_type_;
  std::shared_ptr<const rclcpp_dds::DynamicType> result_type_;
  std::map<GoalUUID, FeedbackCallback> feedback_callbacks_;
};

// The client, ready to use (see create_client).
template <typename NodeT>
GenericClient::SharedPtr create_generic_client(NodeT node, const std::string& name,
                                               const std::string& type) {
  auto client = std::make_shared<GenericClient>(*node, name, type);
  client->activate(client);
  return client;
}

}  // namespace rclcpp_action
