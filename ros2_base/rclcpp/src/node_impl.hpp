#pragma once

#include <memory>
#include <string>
#include <vector>

#include "context.hpp"
#include "graph_node.hpp"
#include "names.hpp"
#include "parameter_service.hpp"
#include "parameter_store.hpp"
#include "rcl_interfaces/msg/log.hpp"
#include "rcl_interfaces/msg/parameter_event.hpp"
#include "rclcpp/node.hpp"

namespace rclcpp {

struct Node::Impl {
  Impl(std::shared_ptr<const rclcpp_dds::Context> context_in, const std::string& node_name,
       const std::string& node_namespace)
      : context(std::move(context_in)),
        name(rclcpp_dds::node_name_for(context->arguments, node_name)),
        namespace_(rclcpp_dds::node_namespace_for(context->arguments, node_namespace, node_name)),
        fully_qualified_name(namespace_ == "/" ? "/" + name : namespace_ + "/" + name),
        logger_name(rclcpp_dds::logger_name_for(namespace_, name)),
        parameters(rclcpp_dds::overrides_for(context->arguments, fully_qualified_name)),
        graph_node(std::make_shared<rclcpp_dds::GraphNode>(context, namespace_, name)) {}

  std::shared_ptr<const rclcpp_dds::Context> context;
  std::string name;
  std::string namespace_;
  std::string fully_qualified_name;
  std::string logger_name;
  rclcpp_dds::ParameterStore parameters;
  // Outlives the node's own endpoints below, which are registered with it.
  std::shared_ptr<rclcpp_dds::GraphNode> graph_node;
  std::shared_ptr<Publisher<rcl_interfaces::msg::Log>> rosout;
  std::unique_ptr<rclcpp_dds::ParameterService> parameter_service;
  std::shared_ptr<Publisher<rcl_interfaces::msg::ParameterEvent>> parameter_events;
  std::shared_ptr<Subscription<rcl_interfaces::msg::ParameterEvent>> time_source_events;
  // Creation order is delivery order; the owner decides their lifetime.
  std::vector<std::weak_ptr<SubscriptionBase>> subscriptions;
  std::vector<std::weak_ptr<ServiceBase>> services;
  std::vector<std::weak_ptr<ClientBase>> clients;
};

}  // namespace rclcpp
