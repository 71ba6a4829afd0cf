#include "rclcpp/node.hpp"

#include <vector>

#include "node_impl.hpp"
#include "rclcpp/executors.hpp"
#include "rclcpp/utilities.hpp"

namespace rclcpp {

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

const std::shared_ptr<rclcpp_dds::GraphNode>& Node::graph_node() const { return impl_->graph_node; }

void Node::add_subscription(const std::shared_ptr<SubscriptionBase>& subscription) {
  impl_->subscriptions.push_back(subscription);
}

void spin_some(const std::shared_ptr<Node>& node) {
  // A snapshot: subscriptions created by a callback wait for the next call.
  std::vector<std::shared_ptr<SubscriptionBase>> ready;
  auto& subscriptions = node->impl_->subscriptions;
  for (auto it = subscriptions.begin(); it != subscriptions.end();) {
    if (auto subscription = it->lock()) {
      ready.push_back(std::move(subscription));
      ++it;
    } else {
      it = subscriptions.erase(it);
    }
  }
  for (const auto& subscription : ready) {
    if (!ok()) {
      return;
    }
    subscription->take_and_dispatch();
  }
}

}  // namespace rclcpp
