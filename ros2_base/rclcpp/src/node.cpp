#include "rclcpp/node.hpp"

#include <vector>

#include "context.hpp"
#include "parameter_store.hpp"
#include "rclcpp/executors.hpp"
#include "rclcpp/utilities.hpp"

namespace rclcpp {

struct Node::Impl {
  Impl(std::shared_ptr<const rclcpp_dds::Context> context_in, const std::string& node_name,
       const std::string& node_namespace)
      : context(std::move(context_in)),
        name(rclcpp_dds::node_name_for(context->arguments, node_name)),
        namespace_(rclcpp_dds::node_namespace_for(context->arguments, node_namespace, node_name)),
        fully_qualified_name(namespace_ == "/" ? "/" + name : namespace_ + "/" + name),
        parameters(rclcpp_dds::overrides_for(context->arguments, fully_qualified_name)) {}

  std::shared_ptr<const rclcpp_dds::Context> context;
  std::string name;
  std::string namespace_;
  std::string fully_qualified_name;
  rclcpp_dds::ParameterStore parameters;
  // Creation order is delivery order; the owner decides their lifetime.
  std::vector<std::weak_ptr<SubscriptionBase>> subscriptions;
  std::vector<std::weak_ptr<ServiceBase>> services;
  std::vector<std::weak_ptr<ClientBase>> clients;
};

namespace {

// A snapshot of the live entities: those created by a callback wait for the next call.
template <class T>
std::vector<std::shared_ptr<T>> live(std::vector<std::weak_ptr<T>>& entities) {
  std::vector<std::shared_ptr<T>> snapshot;
  for (auto it = entities.begin(); it != entities.end();) {
    if (auto entity = it->lock()) {
      snapshot.push_back(std::move(entity));
      ++it;
    } else {
      it = entities.erase(it);
    }
  }
  return snapshot;
}

}  // namespace

Node::Node(const std::string& node_name, const NodeOptions& options)
    : Node(node_name, "", options) {}

Node::Node(const std::string& node_name, const std::string& namespace_,
           const NodeOptions& /*options*/)
    : impl_(std::make_unique<Impl>(rclcpp_dds::current_context(), node_name, namespace_)) {}

Node::~Node() = default;

const char* Node::get_name() const { return impl_->name.c_str(); }

const char* Node::get_namespace() const { return impl_->namespace_.c_str(); }

const char* Node::get_fully_qualified_name() const { return impl_->fully_qualified_name.c_str(); }

const ParameterValue& Node::declare_parameter(
    const std::string& name, const ParameterValue& default_value,
    const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor, bool ignore_override) {
  return impl_->parameters.declare(name, default_value, parameter_descriptor, ignore_override);
}

bool Node::get_parameter(const std::string& name, rclcpp::Parameter& parameter) const {
  const ParameterValue* value = impl_->parameters.find(name);
  if (value == nullptr) {
    return false;
  }
  parameter = rclcpp::Parameter(name, *value);
  return true;
}

rclcpp::Parameter Node::get_parameter(const std::string& name) const {
  rclcpp::Parameter parameter;
  if (!get_parameter(name, parameter)) {
    throw exceptions::ParameterNotDeclaredException(name);
  }
  return parameter;
}

std::string Node::resolve_topic_name(const std::string& topic_name) const {
  return rclcpp_dds::resolve_topic(impl_->context->arguments, topic_name, impl_->name,
                                   impl_->namespace_);
}

void Node::add_subscription(const std::shared_ptr<SubscriptionBase>& subscription) {
  impl_->subscriptions.push_back(subscription);
}

void Node::add_service(const std::shared_ptr<ServiceBase>& service) {
  impl_->services.push_back(service);
}

void Node::add_client(const std::shared_ptr<ClientBase>& client) {
  impl_->clients.push_back(client);
}

void spin_some(const std::shared_ptr<Node>& node) {
  auto subscriptions = live(node->impl_->subscriptions);
  auto services = live(node->impl_->services);
  auto clients = live(node->impl_->clients);
  for (const auto& subscription : subscriptions) {
    if (!ok()) {
      return;
    }
    subscription->take_and_dispatch();
  }
  for (const auto& service : services) {
    if (!ok()) {
      return;
    }
    service->take_and_handle();
  }
  for (const auto& client : clients) {
    if (!ok()) {
      return;
    }
    client->take_and_complete();
  }
}

}  // namespace rclcpp
