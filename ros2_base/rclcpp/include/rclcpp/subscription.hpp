#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "rclcpp/qos.hpp"
#include "rclcpp_dds/dynamic_type.hpp"
#include "rclcpp_dds/type_support.hpp"

namespace rclcpp_dds {
class Endpoint;
class GraphNode;
class GraphRegistration;
}  // namespace rclcpp_dds

namespace rclcpp {

// Accepted for source compatibility.
struct SubscriptionOptions {};

class SubscriptionBase {
 public:
  using SharedPtr = std::shared_ptr<SubscriptionBase>;

  SubscriptionBase(const SubscriptionBase&) = delete;
  SubscriptionBase& operator=(const SubscriptionBase&) = delete;
  virtual ~SubscriptionBase();

  // The resolved ROS topic name, e.g. "/docking_pose".
  const char* get_topic_name() const;
  // Publishers currently matched, local or remote.
  size_t get_publisher_count() const;

  // Takes at most one message and runs the callback with it; false if none
  // was waiting. Called by spin_some.
  bool take_and_dispatch();

 protected:
  SubscriptionBase(const std::shared_ptr<rclcpp_dds::GraphNode>& node,
                   const std::string& topic_name,
                   const rosidl_typesupport_introspection_cpp::MessageMembers& members,
                   const QoS& qos);

 private:
  virtual std::shared_ptr<void> make_message() const = 0;
  virtual void dispatch(std::shared_ptr<void> message) = 0;

  std::unique_ptr<rclcpp_dds::Endpoint> reader_;
  // Listed under its node in the graph while it exists.
  std::unique_ptr<rclcpp_dds::GraphRegistration> registration_;
  std::shared_ptr<void> next_message_;
};

template <class MessageT>
class Subscription : public SubscriptionBase {
 public:
  using SharedPtr = std::shared_ptr<Subscription<MessageT>>;
  using Callback = std::function<void(std::shared_ptr<MessageT>)>;

  // Use Node::create_subscription.
  Subscription(const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& topic_name,
               const QoS& qos, Callback callback)
      : SubscriptionBase(node, topic_name, rclcpp_dds::message_members<MessageT>(), qos),
        callback_(std::move(callback)) {}

 private:
  std::shared_ptr<void> make_message() const override { return std::make_shared<MessageT>(); }
  void dispatch(std::shared_ptr<void> message) override {
    callback_(std::static_pointer_cast<MessageT>(std::move(message)));
  }

  Callback callback_;
};

// A subscription to a type known at run time; the callback gets each message
// as one made by the type. The layer's own: generic subscriptions by type name
// build on it.
class DynamicSubscription : public SubscriptionBase {
 public:
  using SharedPtr = std::shared_ptr<DynamicSubscription>;
  using Callback = std::function<void(std::shared_ptr<void>)>;

  // Use Node::create_dynamic_subscription.
  DynamicSubscription(const std::shared_ptr<rclcpp_dds::GraphNode>& node,
                      const std::string& topic_name,
                      std::shared_ptr<const rclcpp_dds::DynamicType> type, const QoS& qos,
                      Callback callback)
      : SubscriptionBase(node, topic_name, type->members(), qos),
        type_(std::move(type)),
        callback_(std::move(callback)) {}

  const rclcpp_dds::DynamicType& type() const { return *type_; }

 private:
  std::shared_ptr<void> make_message() const override { return type_->create(); }
  void dispatch(std::shared_ptr<void> message) override { callback_(std::move(message)); }

  std::shared_ptr<const rclcpp_dds::DynamicType> type_;
  Callback callback_;
};

namespace detail {

template <class>
inline constexpr bool unsupported_callback = false;

// The callback forms rclcpp accepts for a subscription, all fed from one shared message.
template <class MessageT, class CallbackT>
std::function<void(std::shared_ptr<MessageT>)> adapt_callback(CallbackT&& callback) {
  using Stored = std::decay_t<CallbackT>;
  if constexpr (std::is_invocable_v<Stored&, std::shared_ptr<MessageT>>) {
    return Stored(std::forward<CallbackT>(callback));
  } else if constexpr (std::is_invocable_v<Stored&, const MessageT&>) {
    return [cb = Stored(std::forward<CallbackT>(callback))](
               std::shared_ptr<MessageT> message) mutable { cb(*message); };
  } else if constexpr (std::is_invocable_v<Stored&, std::unique_ptr<MessageT>>) {
    return [cb = Stored(std::forward<CallbackT>(callback))](
               std::shared_ptr<MessageT> message) mutable {
      cb(std::make_unique<MessageT>(std::move(*message)));
    };
  } else {
    static_assert(unsupported_callback<CallbackT>,
                  "a subscription callback takes std::shared_ptr<M>, std::shared_ptr<const M>, "
                  "const M& or std::unique_ptr<M>");
  }
}

}  // namespace detail
}  // namespace rclcpp
