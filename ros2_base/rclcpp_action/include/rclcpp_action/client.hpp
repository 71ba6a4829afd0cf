#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "action_msgs/msg/goal_status_array.hpp"
#include "action_msgs/srv/cancel_goal.hpp"
#include "rcl_action/action_client.h"
#include "rclcpp/client.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp/subscription.hpp"
#include "rclcpp/time.hpp"
#include "rclcpp_action/client_goal_handle.hpp"
#include "rclcpp_action/detail/self_slot.hpp"
#include "rclcpp_action/exceptions.hpp"
#include "rclcpp_action/types.hpp"

namespace rclcpp_action {

// What every action client does whatever its type: the cancel service, the
// status topic, goal ids, and whether a server is there.
class ClientBase {
 public:
  ClientBase(const ClientBase&) = delete;
  ClientBase& operator=(const ClientBase&) = delete;
  virtual ~ClientBase();

  // True when the server's three services are matched and its feedback and
  // status topics have a publisher, as rcl_action_server_is_available decides.
  bool action_server_is_ready() const;

  // Polls action_server_is_ready() until it holds or the timeout passes; a
  // negative timeout waits forever. False as soon as rclcpp is shut down.
  template <typename RepT = int64_t, typename RatioT = std::milli>
  bool wait_for_action_server(
      std::chrono::duration<RepT, RatioT> timeout = std::chrono::duration<RepT, RatioT>(-1)) {
    return wait_for_action_server_nanoseconds(
        std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

  // Called once by create_client: from then on replies and messages reach the
  // client, and a client that its own callback lets go lives until the callback returns.
  void activate(const std::shared_ptr<ClientBase>& self);

 protected:
  using CancelRequest = action_msgs::srv::CancelGoal::Request;
  using CancelResponseMessage = action_msgs::srv::CancelGoal::Response;

  // Creates the cancel client and the status subscription under `action_name`.
  ClientBase(rclcpp::Node& node, const std::string& action_name);

  bool wait_for_action_server_nanoseconds(std::chrono::nanoseconds timeout);
  // 16 random bytes, as rclcpp_action draws them.
  virtual GoalUUID generate_goal_id();

  // The typed endpoints, for action_server_is_ready.
  void track_endpoints(std::shared_ptr<rclcpp::ClientBase> goal_client,
                       std::shared_ptr<rclcpp::ClientBase> result_client,
                       std::shared_ptr<rclcpp::SubscriptionBase> feedback_subscription);

  void send_cancel_request(std::shared_ptr<CancelRequest> request,
                           std::function<void(std::shared_ptr<CancelResponseMessage>)> callback);

  virtual void handle_status_message(std::shared_ptr<void> message) = 0;

  // The goal's state in the latest status message. A server publishes a goal's
  // first status right after its goal response, and spin_some takes messages
  // before replies: a new goal handle starts from what came first.
  std::optional<int8_t> last_status_of(const GoalUUID& uuid) const;

  const detail::SelfSlot<ClientBase>& self_slot() const { return self_; }

 private:
  // The slot the callbacks hold: filled by activate.
  detail::SelfSlot<ClientBase> self_;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

template <typename ActionT>
class Client : public ClientBase {
 public:
  using SharedPtr = std::shared_ptr<Client<ActionT>>;
  using WeakPtr = std::weak_ptr<Client<ActionT>>;

  using Goal = typename ActionT::Goal;
  using Feedback = typename ActionT::Feedback;
  using GoalHandle = ClientGoalHandle<ActionT>;
  using WrappedResult = typename GoalHandle::WrappedResult;
  using GoalResponseCallback = std::function<void(typename GoalHandle::SharedPtr)>;
  using FeedbackCallback = typename GoalHandle::FeedbackCallback;
  using ResultCallback = typename GoalHandle::ResultCallback;
  using CancelRequest = typename ActionT::Impl::CancelGoalService::Request;
  using CancelResponse = typename ActionT::Impl::CancelGoalService::Response;
  using CancelCallback = std::function<void(typename CancelResponse::SharedPtr)>;

  struct SendGoalOptions {
    SendGoalOptions()
        : goal_response_callback(nullptr), feedback_callback(nullptr), result_callback(nullptr) {}

    // With the goal handle, or nullptr when the server refused the goal.
    GoalResponseCallback goal_response_callback;
    FeedbackCallback feedback_callback;
    // Set: the result is asked for as soon as the goal is accepted.
    ResultCallback result_callback;
  };

  // Use create_client.
  Client(
      rclcpp::Node& node, const std::string& action_name,
      const rcl_action_client_options_t& client_options = rcl_action_client_get_default_options())
      : ClientBase(node, action_name) {
    (void)client_options;
    goal_client_ = node.create_client<SendGoalService>(action_name + "/_action/send_goal");
    result_client_ = node.create_client<GetResultService>(action_name + "/_action/get_result");
    auto slot = self_slot();
    feedback_subscription_ = node.create_subscription<FeedbackMessage>(
        action_name + "/_action/feedback", rclcpp::QoS(10),
        [slot](std::shared_ptr<FeedbackMessage> message) {
          if (auto self = typed(slot)) {
            self->handle_feedback_message(std::move(message));
          }
        });
    track_endpoints(goal_client_, result_client_, feedback_subscription_);
  }

  // Sends the goal; the future and the goal response callback complete inside
  // spin_some with the goal handle, or nullptr when the server refused the goal.
  std::shared_future<typename GoalHandle::SharedPtr> async_send_goal(
      const Goal& goal, const SendGoalOptions& options = SendGoalOptions()) {
    auto promise = std::make_shared<std::promise<typename GoalHandle::SharedPtr>>();
    std::shared_future<typename GoalHandle::SharedPtr> future(promise->get_future());
    auto goal_request = std::make_shared<typename SendGoalService::Request>();
    goal_request->goal_id.uuid = this->generate_goal_id();
    goal_request->goal = goal;
    auto slot = self_slot();
    goal_client_->async_send_request(
        goal_request, [slot, goal_request, options,
                       promise](typename rclcpp::Client<SendGoalService>::SharedFuture response) {
          auto self = typed(slot);
          if (!self) {
            return;
          }
          auto goal_response = response.get();
          if (!goal_response->accepted) {
            promise->set_value(nullptr);
            if (options.goal_response_callback) {
              options.goal_response_callback(nullptr);
            }
            return;
          }
          GoalInfo goal_info;
          goal_info.goal_id.uuid = goal_request->goal_id.uuid;
          goal_info.stamp = goal_response->stamp;
          std::shared_ptr<GoalHandle> goal_handle(
              new GoalHandle(goal_info, options.feedback_callback, options.result_callback));
          if (auto status = self->last_status_of(goal_info.goal_id.uuid)) {
            goal_handle->set_status(*status);
          }
          {
            std::lock_guard<std::mutex> guard(self->goal_handles_mutex_);
            self->goal_handles_[goal_handle->get_goal_id()] = goal_handle;
          }
          promise->set_value(goal_handle);
          if (options.goal_response_callback) {
            options.goal_response_callback(goal_handle);
          }
          if (options.result_callback) {
            self->make_result_aware(goal_handle);
          }
        });
    {
      std::lock_guard<std::mutex> guard(goal_handles_mutex_);
      for (auto it = goal_handles_.begin(); it != goal_handles_.end();) {
        it = it->second.lock() ? std::next(it) : goal_handles_.erase(it);
      }
    }
    return future;
  }

  // Asks for the result (once per goal); throws UnknownGoalHandleError for a goal
  // this client does not track (any more: its result has come).
  std::shared_future<WrappedResult> async_get_result(typename GoalHandle::SharedPtr goal_handle,
                                                     ResultCallback result_callback = nullptr) {
    std::lock_guard<std::mutex> lock(goal_handles_mutex_);
    if (goal_handles_.count(goal_handle->get_goal_id()) == 0) {
      throw exceptions::UnknownGoalHandleError();
    }
    if (goal_handle->is_invalidated()) {
      std::rethrow_exception(goal_handle->invalidate_exception_);
    }
    if (result_callback) {
      goal_handle->set_result_callback(result_callback);
    }
    this->make_result_aware(goal_handle);
    return goal_handle->async_get_result();
  }

  std::shared_future<typename CancelResponse::SharedPtr> async_cancel_goal(
      typename GoalHandle::SharedPtr goal_handle, CancelCallback cancel_callback = nullptr) {
    std::lock_guard<std::mutex> lock(goal_handles_mutex_);
    if (goal_handles_.count(goal_handle->get_goal_id()) == 0) {
      throw exceptions::UnknownGoalHandleError();
    }
    auto cancel_request = std::make_shared<CancelRequest>();
    cancel_request->goal_info.goal_id.uuid = goal_handle->get_goal_id();
    return async_cancel(cancel_request, cancel_callback);
  }

  // Every goal of the server, whoever sent it.
  std::shared_future<typename CancelResponse::SharedPtr> async_cancel_all_goals(
      CancelCallback cancel_callback = nullptr) {
    auto cancel_request = std::make_shared<CancelRequest>();
    std::fill(cancel_request->goal_info.goal_id.uuid.begin(),
              cancel_request->goal_info.goal_id.uuid.end(), 0u);
    return async_cancel(cancel_request, cancel_callback);
  }

  // Every goal of the server accepted at or before stamp.
  std::shared_future<typename CancelResponse::SharedPtr> async_cancel_goals_before(
      const rclcpp::Time& stamp, CancelCallback cancel_callback = nullptr) {
    auto cancel_request = std::make_shared<CancelRequest>();
    std::fill(cancel_request->goal_info.goal_id.uuid.begin(),
              cancel_request->goal_info.goal_id.uuid.end(), 0u);
    cancel_request->goal_info.stamp = stamp;
    return async_cancel(cancel_request, cancel_callback);
  }

  // Goal handles still held see their result future fail with UnawareGoalHandleError.
  virtual ~Client() {
    std::lock_guard<std::mutex> guard(goal_handles_mutex_);
    for (auto it = goal_handles_.begin(); it != goal_handles_.end();) {
      if (auto goal_handle = it->second.lock()) {
        goal_handle->invalidate(exceptions::UnawareGoalHandleError());
      }
      it = goal_handles_.erase(it);
    }
  }

 private:
  using SendGoalService = typename ActionT::Impl::SendGoalService;
  using GetResultService = typename ActionT::Impl::GetResultService;
  using FeedbackMessage = typename ActionT::Impl::FeedbackMessage;
  using GoalStatusMessage = typename ActionT::Impl::GoalStatusMessage;

  static std::shared_ptr<Client<ActionT>> typed(const detail::SelfSlot<ClientBase>& slot) {
    return detail::lock_as<Client<ActionT>>(slot);
  }

  void handle_feedback_message(std::shared_ptr<FeedbackMessage> feedback_message) {
    std::lock_guard<std::mutex> guard(goal_handles_mutex_);
    const GoalUUID& goal_id = feedback_message->goal_id.uuid;
    auto it = goal_handles_.find(goal_id);
    if (it == goal_handles_.end()) {
      return;
    }
    typename GoalHandle::SharedPtr goal_handle = it->second.lock();
    if (!goal_handle) {
      goal_handles_.erase(it);
      return;
    }
    auto feedback = std::make_shared<Feedback>();
    *feedback = feedback_message->feedback;
    goal_handle->call_feedback_callback(goal_handle, feedback);
  }

  void handle_status_message(std::shared_ptr<void> message) override {
    std::lock_guard<std::mutex> guard(goal_handles_mutex_);
    auto status_message = std::static_pointer_cast<GoalStatusMessage>(message);
    for (const GoalStatus& status : status_message->status_list) {
      auto it = goal_handles_.find(status.goal_info.goal_id.uuid);
      if (it == goal_handles_.end()) {
        continue;
      }
      typename GoalHandle::SharedPtr goal_handle = it->second.lock();
      if (!goal_handle) {
        goal_handles_.erase(it);
        continue;
      }
      goal_handle->set_status(status.status);
    }
  }

  void make_result_aware(typename GoalHandle::SharedPtr goal_handle) {
    if (goal_handle->set_result_awareness(true)) {
      return;
    }
    auto goal_result_request = std::make_shared<typename GetResultService::Request>();
    goal_result_request->goal_id.uuid = goal_handle->get_goal_id();
    auto slot = self_slot();
    try {
      result_client_->async_send_request(
          goal_result_request,
          [slot, goal_handle](typename rclcpp::Client<GetResultService>::SharedFuture response) {
            auto self = typed(slot);
            if (!self) {
              return;
            }
            auto result_response = response.get();
            WrappedResult wrapped_result;
            wrapped_result.result = std::make_shared<typename ActionT::Result>();
            *wrapped_result.result = result_response->result;
            wrapped_result.goal_id = goal_handle->get_goal_id();
            wrapped_result.code = static_cast<ResultCode>(result_response->status);
            goal_handle->set_result(wrapped_result);
            std::lock_guard<std::mutex> lock(self->goal_handles_mutex_);
            self->goal_handles_.erase(goal_handle->get_goal_id());
          });
    } catch (const std::runtime_error& ex) {
      goal_handle->invalidate(exceptions::UnawareGoalHandleError(ex.what()));
    }
  }

  std::shared_future<typename CancelResponse::SharedPtr> async_cancel(
      typename CancelRequest::SharedPtr cancel_request, CancelCallback cancel_callback = nullptr) {
    auto promise = std::make_shared<std::promise<typename CancelResponse::SharedPtr>>();
    std::shared_future<typename CancelResponse::SharedPtr> future(promise->get_future());
    this->send_cancel_request(
        cancel_request, [cancel_callback, promise](typename CancelResponse::SharedPtr response) {
          promise->set_value(response);
          if (cancel_callback) {
            cancel_callback(response);
          }
        });
    return future;
  }

  typename rclcpp::Client<SendGoalService>::SharedPtr goal_client_;
  typename rclcpp::Client<GetResultService>::SharedPtr result_client_;
  typename rclcpp::Subscription<FeedbackMessage>::SharedPtr feedback_subscription_;

  std::map<GoalUUID, typename GoalHandle::WeakPtr> goal_handles_;
  std::mutex goal_handles_mutex_;
};

}  // namespace rclcpp_action
