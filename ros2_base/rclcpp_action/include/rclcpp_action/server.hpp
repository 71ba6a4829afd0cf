#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "action_msgs/msg/goal_status.hpp"
#include "action_msgs/srv/cancel_goal.hpp"
#include "rcl_action/action_server.h"
#include "rclcpp/node.hpp"
#include "rclcpp/request_id.hpp"
#include "rclcpp_action/detail/self_slot.hpp"
#include "rclcpp_action/server_goal_handle.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action {

enum class GoalResponse : int8_t {
  REJECT = 1,
  ACCEPT_AND_EXECUTE = 2,
  ACCEPT_AND_DEFER = 3,
};

enum class CancelResponse : int8_t {
  REJECT = 1,
  ACCEPT = 2,
};

// What every action server does whatever its type, as rcl_action and rclcpp_action
// do it: the goals' states, the cancel service and its policies, the results and
// the requests that wait for them, the status topic, and the expiry of results.
//
// The layer has no timers: a result is dropped when the server next runs after
// result_timeout has passed since its goal was accepted (rcl_action's measure),
// that is at the next request any of its services takes or the next state change
// of one of its goals. Clients see what rcl_action's timer gives them: a
// result_timeout after the goal's acceptance, an ended goal is unknown. As with
// rcl_action, an expiry publishes no status of its own.
class ServerBase {
 public:
  ServerBase(const ServerBase&) = delete;
  ServerBase& operator=(const ServerBase&) = delete;
  virtual ~ServerBase();

  // Called once by create_server: from then on requests reach the server, and a
  // server that its own callback lets go lives until the callback returns.
  void activate(const std::shared_ptr<ServerBase>& self);

 protected:
  // Creates the cancel service and the status topic under `name`, resolved as
  // any service name of the node. Throws rclcpp::exceptions::RCLError for an
  // empty or invalid name or a negative result_timeout.
  ServerBase(rclcpp::Node& node, const std::string& name,
             const rcl_action_server_options_t& options);

  virtual GoalResponse call_handle_goal_callback(const GoalUUID& uuid,
                                                 std::shared_ptr<void> request) = 0;
  virtual CancelResponse call_handle_cancel_callback(const GoalUUID& uuid) = 0;
  virtual void call_goal_accepted_callback(std::shared_ptr<detail::GoalRecord> record,
                                           GoalUUID uuid,
                                           std::shared_ptr<void> goal_request_message) = 0;
  virtual std::shared_ptr<void> create_result_response(int8_t status) = 0;
  virtual void send_goal_response(rmw_request_id_t& request_id, bool accepted) = 0;
  virtual void send_result_response(rmw_request_id_t& request_id,
                                    const std::shared_ptr<void>& response) = 0;

  // The typed goal and result services hand their requests here.
  void execute_goal_request_received(const std::shared_ptr<rmw_request_id_t>& request_id,
                                     std::shared_ptr<void> request, const GoalUUID& uuid);
  void execute_result_request_received(const std::shared_ptr<rmw_request_id_t>& request_id,
                                       const GoalUUID& uuid);

  // A deferred goal started executing: its new state goes out.
  void on_executing(const GoalUUID& uuid);
  // A goal ended: its result is kept and answers the requests waiting for it,
  // then the new state goes out.
  void on_terminal_state(const GoalUUID& uuid, std::shared_ptr<void> result_response);

  const detail::SelfSlot<ServerBase>& self_slot() const { return self_; }

 private:
  // The cancel service's callback, answered at once.
  void execute_cancel_request_received(const action_msgs::srv::CancelGoal::Request& request,
                                       action_msgs::srv::CancelGoal::Response& response);

  // The slot the service callbacks hold: filled by activate.
  detail::SelfSlot<ServerBase> self_;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

template <typename ActionT>
class Server : public ServerBase, public std::enable_shared_from_this<Server<ActionT>> {
 public:
  using SharedPtr = std::shared_ptr<Server<ActionT>>;
  using WeakPtr = std::weak_ptr<Server<ActionT>>;
  using GoalCallback =
      std::function<GoalResponse(const GoalUUID&, std::shared_ptr<const typename ActionT::Goal>)>;
  using CancelCallback = std::function<CancelResponse(std::shared_ptr<ServerGoalHandle<ActionT>>)>;
  using AcceptedCallback = std::function<void(std::shared_ptr<ServerGoalHandle<ActionT>>)>;

  // Use create_server.
  Server(rclcpp::Node& node, const std::string& name, const rcl_action_server_options_t& options,
         GoalCallback handle_goal, CancelCallback handle_cancel, AcceptedCallback handle_accepted)
      : ServerBase(node, name, options),
        handle_goal_(std::move(handle_goal)),
        handle_cancel_(std::move(handle_cancel)),
        handle_accepted_(std::move(handle_accepted)) {
    auto slot = self_slot();
    goal_service_ = node.create_service<SendGoalService>(
        name + "/_action/send_goal",
        [slot](std::shared_ptr<rmw_request_id_t> request_id,
               std::shared_ptr<typename SendGoalService::Request> request) {
          if (auto self = typed(slot)) {
            const GoalUUID uuid = request->goal_id.uuid;
            self->execute_goal_request_received(request_id, std::move(request), uuid);
          }
        });
    result_service_ = node.create_service<GetResultService>(
        name + "/_action/get_result",
        [slot](std::shared_ptr<rmw_request_id_t> request_id,
               std::shared_ptr<typename GetResultService::Request> request) {
          if (auto self = typed(slot)) {
            self->execute_result_request_received(request_id, request->goal_id.uuid);
          }
        });
    feedback_publisher_ =
        node.create_publisher<FeedbackMessage>(name + "/_action/feedback", rclcpp::QoS(10));
  }

  virtual ~Server() = default;

 protected:
  GoalResponse call_handle_goal_callback(const GoalUUID& uuid,
                                         std::shared_ptr<void> message) override {
    auto request = std::static_pointer_cast<typename SendGoalService::Request>(message);
    auto goal = std::shared_ptr<typename ActionT::Goal>(request, &request->goal);
    return handle_goal_(uuid, goal);
  }

  CancelResponse call_handle_cancel_callback(const GoalUUID& uuid) override {
    std::shared_ptr<ServerGoalHandle<ActionT>> goal_handle;
    {
      std::lock_guard<std::mutex> lock(goal_handles_mutex_);
      auto element = goal_handles_.find(uuid);
      if (element != goal_handles_.end()) {
        goal_handle = element->second.lock();
      }
    }
    CancelResponse resp = CancelResponse::REJECT;
    if (goal_handle) {
      resp = handle_cancel_(goal_handle);
      if (CancelResponse::ACCEPT == resp) {
        try {
          goal_handle->_cancel_goal();
        } catch (const std::exception&) {
          return CancelResponse::REJECT;
        }
      }
    }
    return resp;
  }

  void call_goal_accepted_callback(std::shared_ptr<detail::GoalRecord> record, GoalUUID uuid,
                                   std::shared_ptr<void> goal_request_message) override {
    auto slot = self_slot();
    auto on_terminal_state = [slot](const GoalUUID& goal_uuid,
                                    std::shared_ptr<void> result_message) {
      if (auto self = typed(slot)) {
        self->on_terminal_state(goal_uuid, std::move(result_message));
        std::lock_guard<std::mutex> lock(self->goal_handles_mutex_);
        self->goal_handles_.erase(goal_uuid);
      }
    };
    auto on_executing = [slot](const GoalUUID& goal_uuid) {
      if (auto self = typed(slot)) {
        self->on_executing(goal_uuid);
      }
    };
    auto publish_feedback = [slot](std::shared_ptr<FeedbackMessage> feedback_msg) {
      if (auto self = typed(slot)) {
        self->feedback_publisher_->publish(*feedback_msg);
      }
    };
    auto request =
        std::static_pointer_cast<const typename SendGoalService::Request>(goal_request_message);
    auto goal = std::shared_ptr<const typename ActionT::Goal>(request, &request->goal);
    std::shared_ptr<ServerGoalHandle<ActionT>> goal_handle(new ServerGoalHandle<ActionT>(
        std::move(record), uuid, goal, on_terminal_state, on_executing, publish_feedback));
    {
      std::lock_guard<std::mutex> lock(goal_handles_mutex_);
      goal_handles_[uuid] = goal_handle;
    }
    handle_accepted_(goal_handle);
  }

  std::shared_ptr<void> create_result_response(int8_t status) override {
    auto result = std::make_shared<typename GetResultService::Response>();
    result->status = status;
    return result;
  }

  void send_goal_response(rmw_request_id_t& request_id, bool accepted) override {
    // rclcpp_action 16 answers with the stamp left zero.
    typename SendGoalService::Response response;
    response.accepted = accepted;
    goal_service_->send_response(request_id, response);
  }

  void send_result_response(rmw_request_id_t& request_id,
                            const std::shared_ptr<void>& response) override {
    result_service_->send_response(
        request_id, *std::static_pointer_cast<typename GetResultService::Response>(response));
  }

 private:
  using SendGoalService = typename ActionT::Impl::SendGoalService;
  using GetResultService = typename ActionT::Impl::GetResultService;
  using FeedbackMessage = typename ActionT::Impl::FeedbackMessage;

  static std::shared_ptr<Server<ActionT>> typed(const detail::SelfSlot<ServerBase>& slot) {
    return detail::lock_as<Server<ActionT>>(slot);
  }

  GoalCallback handle_goal_;
  CancelCallback handle_cancel_;
  AcceptedCallback handle_accepted_;

  typename rclcpp::Service<SendGoalService>::SharedPtr goal_service_;
  typename rclcpp::Service<GetResultService>::SharedPtr result_service_;
  typename rclcpp::Publisher<FeedbackMessage>::SharedPtr feedback_publisher_;

  using GoalHandleWeakPtr = std::weak_ptr<ServerGoalHandle<ActionT>>;
  std::unordered_map<GoalUUID, GoalHandleWeakPtr> goal_handles_;
  std::mutex goal_handles_mutex_;
};

}  // namespace rclcpp_action
