#include "rclcpp_action/client.hpp"

#include <algorithm>
#include <random>

#include "rclcpp/exceptions.hpp"
#include "rclcpp/utilities.hpp"
#include "rclcpp_action/qos.hpp"

namespace rclcpp_action {
namespace {

using CancelGoal = action_msgs::srv::CancelGoal;
using GoalStatusArray = action_msgs::msg::GoalStatusArray;

constexpr int32_t kActionNameInvalid = 2000;  // RCL_RET_ACTION_NAME_INVALID
// rclcpp_action waits on graph changes at most this long between checks.
constexpr std::chrono::nanoseconds kServerPollPeriod = std::chrono::milliseconds(10);

}  // namespace

struct ClientBase::Impl {
  rclcpp::Client<CancelGoal>::SharedPtr cancel_client;
  rclcpp::Subscription<GoalStatusArray>::SharedPtr status_subscription;
  std::shared_ptr<rclcpp::ClientBase> goal_client;
  std::shared_ptr<rclcpp::ClientBase> result_client;
  std::shared_ptr<rclcpp::SubscriptionBase> feedback_subscription;
  std::shared_ptr<GoalStatusArray> last_status;
  std::independent_bits_engine<std::default_random_engine, 8, unsigned int> random_bytes{
      std::random_device{}()};
};

ClientBase::ClientBase(rclcpp::Node& node, const std::string& action_name)
    : self_(std::make_shared<std::weak_ptr<ClientBase>>()), impl_(std::make_unique<Impl>()) {
  if (action_name.empty()) {
    throw rclcpp::exceptions::RCLError(kActionNameInvalid, "invalid empty action name");
  }
  auto slot = self_;
  try {
    impl_->cancel_client = node.create_client<CancelGoal>(action_name + "/_action/cancel_goal");
    impl_->status_subscription = node.create_subscription<GoalStatusArray>(
        action_name + "/_action/status", DefaultActionStatusQoS(),
        [slot](std::shared_ptr<GoalStatusArray> message) {
          if (auto self = slot->lock()) {
            self->impl_->last_status = message;
            self->handle_status_message(std::move(message));
          }
        });
  } catch (const rclcpp::exceptions::NameValidationError& error) {
    throw rclcpp::exceptions::RCLError(kActionNameInvalid, error.what());
  }
}

ClientBase::~ClientBase() = default;

void ClientBase::activate(const std::shared_ptr<ClientBase>& self) { *self_ = self; }

void ClientBase::track_endpoints(std::shared_ptr<rclcpp::ClientBase> goal_client,
                                 std::shared_ptr<rclcpp::ClientBase> result_client,
                                 std::shared_ptr<rclcpp::SubscriptionBase> feedback_subscription) {
  impl_->goal_client = std::move(goal_client);
  impl_->result_client = std::move(result_client);
  impl_->feedback_subscription = std::move(feedback_subscription);
}

bool ClientBase::action_server_is_ready() const {
  return impl_->goal_client && impl_->goal_client->service_is_ready() &&
         impl_->cancel_client->service_is_ready() && impl_->result_client->service_is_ready() &&
         impl_->feedback_subscription->get_publisher_count() != 0 &&
         impl_->status_subscription->get_publisher_count() != 0;
}

bool ClientBase::wait_for_action_server_nanoseconds(std::chrono::nanoseconds timeout) {
  const auto start = std::chrono::steady_clock::now();
  while (rclcpp::ok()) {
    if (action_server_is_ready()) {
      return true;
    }
    const auto left = timeout - (std::chrono::steady_clock::now() - start);
    if (timeout >= std::chrono::nanoseconds::zero() && left <= std::chrono::nanoseconds::zero()) {
      return false;
    }
    rclcpp::sleep_for(timeout < std::chrono::nanoseconds::zero()
                          ? kServerPollPeriod
                          : std::min<std::chrono::nanoseconds>(kServerPollPeriod, left));
  }
  return false;
}

std::optional<int8_t> ClientBase::last_status_of(const GoalUUID& uuid) const {
  if (impl_->last_status) {
    for (const auto& status : impl_->last_status->status_list) {
      if (status.goal_info.goal_id.uuid == uuid) {
        return status.status;
      }
    }
  }
  return std::nullopt;
}

GoalUUID ClientBase::generate_goal_id() {
  GoalUUID goal_id;
  std::generate(goal_id.begin(), goal_id.end(), std::ref(impl_->random_bytes));
  return goal_id;
}

void ClientBase::send_cancel_request(
    std::shared_ptr<CancelRequest> request,
    std::function<void(std::shared_ptr<CancelResponseMessage>)> callback) {
  impl_->cancel_client->async_send_request(
      std::move(request),
      [callback = std::move(callback)](rclcpp::Client<CancelGoal>::SharedFuture response) {
        callback(response.get());
      });
}

}  // namespace rclcpp_action
