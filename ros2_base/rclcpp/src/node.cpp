#include "rclcpp/node.hpp"

#include <chrono>
#include <vector>

#include "graph.hpp"
#include "logging_rosout.hpp"
#include "node_impl.hpp"
#include "rclcpp/executors.hpp"
#include "rclcpp/utilities.hpp"

namespace rclcpp {

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

namespace {

// What rclcpp declares for the QoS of the node's own /parameter_events publisher: the
// values it uses, read-only.
void declare_parameter_events_qos(Node& node) {
  const std::pair<const char*, ParameterValue> policies[] = {
      {"durability", ParameterValue("volatile")},
      {"history", ParameterValue("keep_last")},
      {"depth", ParameterValue(int64_t{1000})},
      {"reliability", ParameterValue("reliable")},
  };
  for (const auto& [policy, value] : policies) {
    rcl_interfaces::msg::ParameterDescriptor descriptor;
    descriptor.description =
        std::string("qos policy {") + policy + "} for publisher {/parameter_events}";
    descriptor.read_only = true;
    node.declare_parameter(std::string("qos_overrides./parameter_events.publisher.") + policy,
                           value, descriptor);
  }
}

}  // namespace

Node::Node(const std::string& node_name, const std::string& namespace_, const NodeOptions& options)
    : impl_(std::make_unique<Impl>(rclcpp_dds::current_context(), node_name, namespace_)) {
  // rclcpp's own endpoints and parameters, in the order it creates them.
  // As rcl: with --disable-rosout-logs the node has no /rosout publisher at all.
  if (impl_->context->arguments.log_rosout) {
    impl_->rosout = create_publisher<rcl_interfaces::msg::Log>("/rosout", RosoutQoS());
    rclcpp_dds::add_rosout_logger(impl_->logger_name, impl_->rosout);
  }
  if (options.start_parameter_services()) {
    impl_->parameter_service = std::make_unique<rclcpp_dds::ParameterService>(*this);
  }
  if (options.start_parameter_event_publisher()) {
    impl_->parameter_events = create_publisher<rcl_interfaces::msg::ParameterEvent>(
        "/parameter_events", ParameterEventsQoS());
  }
  // rclcpp's TimeSource: it listens here for use_sim_time; without ROS time the events are
  // only taken, but ROS 2 tools list the subscription as every rclcpp node's.
  if (options.start_time_source_subscription()) {
    impl_->time_source_events = create_subscription<rcl_interfaces::msg::ParameterEvent>(
        "/parameter_events", ParameterEventsQoS(),
        [](const rcl_interfaces::msg::ParameterEvent&) {});
  }
  declare_parameter("use_sim_time", ParameterValue(false));
  declare_parameter_events_qos(*this);
}

Node::~Node() {
  if (impl_->rosout) {
    rclcpp_dds::remove_rosout_logger(impl_->logger_name, impl_->rosout.get());
  }
}

const char* Node::get_name() const { return impl_->name.c_str(); }

const char* Node::get_namespace() const { return impl_->namespace_.c_str(); }

const char* Node::get_fully_qualified_name() const { return impl_->fully_qualified_name.c_str(); }

Logger Node::get_logger() const { return rclcpp::get_logger(impl_->logger_name); }

const ParameterValue& Node::declare_parameter(
    const std::string& name, const ParameterValue& default_value,
    const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor, bool ignore_override) {
  rcl_interfaces::msg::ParameterEvent event;
  const ParameterValue& value =
      impl_->parameters.declare(name, default_value, parameter_descriptor, ignore_override, &event);
  publish_parameter_event(event);
  return value;
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

bool Node::has_parameter(const std::string& name) const {
  return impl_->parameters.find(name) != nullptr;
}

std::vector<rclcpp::Parameter> Node::get_parameters(const std::vector<std::string>& names) const {
  return impl_->parameters.get(names);
}

std::vector<uint8_t> Node::get_parameter_types(const std::vector<std::string>& names) const {
  return impl_->parameters.types(names);
}

std::vector<rcl_interfaces::msg::ParameterDescriptor> Node::describe_parameters(
    const std::vector<std::string>& names) const {
  return impl_->parameters.describe(names);
}

rcl_interfaces::msg::ListParametersResult Node::list_parameters(
    const std::vector<std::string>& prefixes, uint64_t depth) const {
  return impl_->parameters.list(prefixes, depth);
}

rcl_interfaces::msg::SetParametersResult Node::set_parameter(const rclcpp::Parameter& parameter) {
  return set_parameters_atomically({parameter});
}

std::vector<rcl_interfaces::msg::SetParametersResult> Node::set_parameters(
    const std::vector<rclcpp::Parameter>& parameters) {
  std::vector<rcl_interfaces::msg::SetParametersResult> results;
  results.reserve(parameters.size());
  for (const auto& parameter : parameters) {
    results.push_back(set_parameters_atomically({parameter}));
  }
  return results;
}

rcl_interfaces::msg::SetParametersResult Node::set_parameters_atomically(
    const std::vector<rclcpp::Parameter>& parameters) {
  rcl_interfaces::msg::ParameterEvent event;
  auto result = impl_->parameters.set_atomically(parameters, &event);
  if (result.successful) {
    publish_parameter_event(event);
  }
  return result;
}

void Node::publish_parameter_event(rcl_interfaces::msg::ParameterEvent& event) const {
  if (!impl_->parameter_events) {
    return;
  }
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const auto nanoseconds =
      std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count();
  event.stamp.sec = static_cast<int32_t>(nanoseconds / 1000000000);
  event.stamp.nanosec = static_cast<uint32_t>(nanoseconds % 1000000000);
  event.node = impl_->fully_qualified_name;
  impl_->parameter_events->publish(event);
}

std::string Node::resolve_topic_name(const std::string& topic_name) const {
  return rclcpp_dds::resolve_topic(impl_->context->arguments, topic_name, impl_->name,
                                   impl_->namespace_);
}

const std::shared_ptr<rclcpp_dds::GraphNode>& Node::graph_node() const { return impl_->graph_node; }

GenericClient::SharedPtr Node::create_generic_client(const std::string& service_name,
                                                     const std::string& service_type,
                                                     const QoS& qos) {
  auto [request, response] = rclcpp_dds::DynamicType::load_service(service_type);
  auto client = std::make_shared<GenericClient>(graph_node(), resolve_topic_name(service_name),
                                                std::move(request), std::move(response), qos);
  add_client(client);
  return client;
}

DynamicSubscription::SharedPtr Node::create_dynamic_subscription(
    const std::string& topic_name, std::shared_ptr<const rclcpp_dds::DynamicType> type,
    const QoS& qos, DynamicSubscription::Callback callback) {
  auto subscription = std::make_shared<DynamicSubscription>(
      graph_node(), resolve_topic_name(topic_name), std::move(type), qos, std::move(callback));
  add_subscription(subscription);
  return subscription;
}

DynamicPublisher::SharedPtr Node::create_dynamic_publisher(
    const std::string& topic_name, std::shared_ptr<const rclcpp_dds::DynamicType> type,
    const QoS& qos) {
  return std::make_shared<DynamicPublisher>(graph_node(), resolve_topic_name(topic_name),
                                            std::move(type), qos);
}

DynamicPublisher::SharedPtr Node::create_generic_publisher(const std::string& topic_name,
                                                           const std::string& topic_type,
                                                           const QoS& qos) {
  return create_dynamic_publisher(topic_name, rclcpp_dds::DynamicType::load(topic_type), qos);
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
  const auto& context = node->impl_->context;
  if (rclcpp_dds::is_live(*context)) {
    context->graph->take_pending();
  }
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
