#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rcl_interfaces/msg/list_parameters_result.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/parameter_event.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/client.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp/generic_client.hpp"
#include "rclcpp/logger.hpp"
#include "rclcpp/node_options.hpp"
#include "rclcpp/parameter.hpp"
#include "rclcpp/parameter_value.hpp"
#include "rclcpp/publisher.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/service.hpp"
#include "rclcpp/subscription.hpp"
#include "rclcpp/topic_endpoint_info.hpp"

namespace rclcpp_dds {
class GraphNode;
}  // namespace rclcpp_dds

namespace rclcpp {

class Node;
void spin_some(const std::shared_ptr<Node>& node);

class Node : public std::enable_shared_from_this<Node> {
 public:
  using SharedPtr = std::shared_ptr<Node>;

  // Throws if rclcpp::init has not run, or the name or namespace is invalid.
  explicit Node(const std::string& node_name, const NodeOptions& options = NodeOptions());
  Node(const std::string& node_name, const std::string& namespace_,
       const NodeOptions& options = NodeOptions());
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  virtual ~Node();

  const char* get_name() const;
  const char* get_namespace() const;
  const char* get_fully_qualified_name() const;
  Logger get_logger() const;

  // Declares with the command-line override if there is one; throws as
  // rclcpp does on a second declaration or an override of another type.
  const ParameterValue& declare_parameter(
      const std::string& name, const ParameterValue& default_value,
      const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor =
          rcl_interfaces::msg::ParameterDescriptor(),
      bool ignore_override = false);

  template <typename ParameterT>
  auto declare_parameter(const std::string& name, const ParameterT& default_value,
                         const rcl_interfaces::msg::ParameterDescriptor& parameter_descriptor =
                             rcl_interfaces::msg::ParameterDescriptor(),
                         bool ignore_override = false) {
    try {
      return declare_parameter(name, ParameterValue(default_value), parameter_descriptor,
                               ignore_override)
          .template get<ParameterT>();
    } catch (const ParameterTypeException& ex) {
      throw exceptions::InvalidParameterTypeException(name, ex.what());
    }
  }

  // False, leaving value alone, when the parameter is not declared; throws
  // ParameterTypeException when it holds another type.
  template <typename ParameterT>
  bool get_parameter(const std::string& name, ParameterT& value) const {
    rclcpp::Parameter parameter;
    if (!get_parameter(name, parameter)) {
      return false;
    }
    value = static_cast<ParameterT>(parameter.get_value<ParameterT>());
    return true;
  }
  bool get_parameter(const std::string& name, rclcpp::Parameter& parameter) const;
  // Throws ParameterNotDeclaredException when not declared.
  rclcpp::Parameter get_parameter(const std::string& name) const;
  bool has_parameter(const std::string& name) const;

  // As rclcpp with undeclared parameters not allowed: the getters throw
  // ParameterNotDeclaredException for any undeclared name, and so do the setters, which
  // return rclcpp's result otherwise. Every successful set publishes a parameter event.
  std::vector<rclcpp::Parameter> get_parameters(const std::vector<std::string>& names) const;
  std::vector<uint8_t> get_parameter_types(const std::vector<std::string>& names) const;
  std::vector<rcl_interfaces::msg::ParameterDescriptor> describe_parameters(
      const std::vector<std::string>& names) const;
  rcl_interfaces::msg::ListParametersResult list_parameters(
      const std::vector<std::string>& prefixes, uint64_t depth) const;
  rcl_interfaces::msg::SetParametersResult set_parameter(const rclcpp::Parameter& parameter);
  // Each one on its own, as set_parameters_atomically({parameter}).
  std::vector<rcl_interfaces::msg::SetParametersResult> set_parameters(
      const std::vector<rclcpp::Parameter>& parameters);
  rcl_interfaces::msg::SetParametersResult set_parameters_atomically(
      const std::vector<rclcpp::Parameter>& parameters);

  template <typename MessageT>
  std::shared_ptr<Publisher<MessageT>> create_publisher(
      const std::string& topic_name, const QoS& qos,
      const PublisherOptions& /*options*/ = PublisherOptions()) {
    return std::make_shared<Publisher<MessageT>>(graph_node(), resolve_topic_name(topic_name), qos);
  }

  // The callback runs inside spin_some; it may take std::shared_ptr<M>,
  // std::shared_ptr<const M>, const M& or std::unique_ptr<M>.
  template <typename MessageT, typename CallbackT>
  std::shared_ptr<Subscription<MessageT>> create_subscription(
      const std::string& topic_name, const QoS& qos, CallbackT&& callback,
      const SubscriptionOptions& /*options*/ = SubscriptionOptions()) {
    auto subscription = std::make_shared<Subscription<MessageT>>(
        graph_node(), resolve_topic_name(topic_name), qos,
        detail::adapt_callback<MessageT>(std::forward<CallbackT>(callback)));
    add_subscription(subscription);
    return subscription;
  }

  // The callback runs inside spin_some, one request per service and call; it
  // takes (request, response), optionally after the request header, or
  // (request header, request) and answers through Service::send_response.
  template <typename ServiceT, typename CallbackT>
  typename Service<ServiceT>::SharedPtr create_service(const std::string& service_name,
                                                       CallbackT&& callback,
                                                       const QoS& qos = ServicesQoS()) {
    auto service = detail::make_service<ServiceT>(graph_node(), resolve_topic_name(service_name),
                                                  qos, std::forward<CallbackT>(callback));
    add_service(service);
    return service;
  }

  template <typename ServiceT>
  typename Client<ServiceT>::SharedPtr create_client(const std::string& service_name,
                                                     const QoS& qos = ServicesQoS()) {
    auto client =
        std::make_shared<Client<ServiceT>>(graph_node(), resolve_topic_name(service_name), qos);
    add_client(client);
    return client;
  }

  // A client of a service type known by name at run time: "pkg/srv/Type", or an
  // action's "pkg/action/Type_SendGoal". Throws std::runtime_error for an unknown type.
  GenericClient::SharedPtr create_generic_client(const std::string& service_name,
                                                 const std::string& service_type,
                                                 const QoS& qos = ServicesQoS());

  // A subscription to a message type known at run time (see rclcpp_dds::DynamicType).
  DynamicSubscription::SharedPtr create_dynamic_subscription(
      const std::string& topic_name, std::shared_ptr<const rclcpp_dds::DynamicType> type,
      const QoS& qos, DynamicSubscription::Callback callback);
  // A publisher of a message type known at run time.
  DynamicPublisher::SharedPtr create_dynamic_publisher(
      const std::string& topic_name, std::shared_ptr<const rclcpp_dds::DynamicType> type,
      const QoS& qos);
  // The same by type name ("pkg/msg/Type"), as rclcpp's create_generic_publisher takes
  // it. Throws std::runtime_error for an unknown type.
  DynamicPublisher::SharedPtr create_generic_publisher(const std::string& topic_name,
                                                       const std::string& topic_type,
                                                       const QoS& qos);

  // The graph as discovery has seen it so far, this process's own nodes
  // included. Topic names given here are expanded as rclcpp does, without
  // remapping; the by-node queries throw std::runtime_error for an unknown node.

  // Fully qualified names.
  std::vector<std::string> get_node_names() const;
  // (name, namespace) pairs.
  std::vector<std::pair<std::string, std::string>> get_node_names_and_namespaces() const;
  std::map<std::string, std::vector<std::string>> get_topic_names_and_types() const;
  std::map<std::string, std::vector<std::string>> get_service_names_and_types() const;
  std::map<std::string, std::vector<std::string>> get_publisher_names_and_types_by_node(
      const std::string& node_name, const std::string& namespace_, bool no_demangle = false) const;
  std::map<std::string, std::vector<std::string>> get_subscriber_names_and_types_by_node(
      const std::string& node_name, const std::string& namespace_, bool no_demangle = false) const;
  std::map<std::string, std::vector<std::string>> get_service_names_and_types_by_node(
      const std::string& node_name, const std::string& namespace_) const;
  std::map<std::string, std::vector<std::string>> get_client_names_and_types_by_node(
      const std::string& node_name, const std::string& namespace_) const;
  size_t count_publishers(const std::string& topic_name) const;
  size_t count_subscribers(const std::string& topic_name) const;
  std::vector<TopicEndpointInfo> get_publishers_info_by_topic(const std::string& topic_name,
                                                              bool no_mangle = false) const;
  std::vector<TopicEndpointInfo> get_subscriptions_info_by_topic(const std::string& topic_name,
                                                                 bool no_mangle = false) const;

 private:
  friend void spin_some(const std::shared_ptr<Node>& node);

  std::string resolve_topic_name(const std::string& topic_name) const;
  void publish_parameter_event(rcl_interfaces::msg::ParameterEvent& event) const;
  // The topic's DDS name for a graph query.
  std::string graph_topic_name(const std::string& topic_name, bool no_mangle) const;
  const std::shared_ptr<rclcpp_dds::GraphNode>& graph_node() const;
  void add_subscription(const std::shared_ptr<SubscriptionBase>& subscription);
  void add_service(const std::shared_ptr<ServiceBase>& service);
  void add_client(const std::shared_ptr<ClientBase>& client);

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace rclcpp
