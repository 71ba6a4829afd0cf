// Node's graph queries, answered from the participant's graph cache.
#include <stdexcept>

#include "arguments.hpp"
#include "context.hpp"
#include "demangle.hpp"
#include "graph.hpp"
#include "node_impl.hpp"

namespace rclcpp {
namespace {

using rclcpp_dds::EntityKind;
using rclcpp_dds::GraphCache;
using NamesAndTypes = std::map<std::string, std::vector<std::string>>;

const GraphCache& refreshed(const rclcpp_dds::Context& context) { return context.graph->refresh(); }

NamesAndTypes by_node(const rclcpp_dds::Context& context, const std::string& node_name,
                      const std::string& node_namespace, EntityKind kind,
                      rclcpp_dds::Demangle topic, rclcpp_dds::Demangle type) {
  auto found =
      refreshed(context).names_and_types_by_node(node_name, node_namespace, kind, topic, type);
  if (!found) {
    throw std::runtime_error("no node named '" + node_name + "' in namespace '" + node_namespace +
                             "' in the graph");
  }
  return *found;
}

}  // namespace

std::vector<std::string> Node::get_node_names() const {
  std::vector<std::string> names;
  for (const auto& [name, ns] : get_node_names_and_namespaces()) {
    names.push_back(ns + (!ns.empty() && ns.back() == '/' ? "" : "/") + name);
  }
  return names;
}

std::vector<std::pair<std::string, std::string>> Node::get_node_names_and_namespaces() const {
  return refreshed(*impl_->context).node_names_and_namespaces();
}

NamesAndTypes Node::get_topic_names_and_types() const {
  return refreshed(*impl_->context)
      .names_and_types(rclcpp_dds::demangle_topic, rclcpp_dds::demangle_type);
}

NamesAndTypes Node::get_service_names_and_types() const {
  return refreshed(*impl_->context)
      .names_and_types(rclcpp_dds::demangle_service, rclcpp_dds::demangle_service_type);
}

NamesAndTypes Node::get_publisher_names_and_types_by_node(const std::string& node_name,
                                                          const std::string& namespace_,
                                                          bool no_demangle) const {
  return by_node(*impl_->context, node_name, namespace_, EntityKind::writer,
                 no_demangle ? rclcpp_dds::keep_name : rclcpp_dds::demangle_topic,
                 no_demangle ? rclcpp_dds::keep_name : rclcpp_dds::demangle_type);
}

NamesAndTypes Node::get_subscriber_names_and_types_by_node(const std::string& node_name,
                                                           const std::string& namespace_,
                                                           bool no_demangle) const {
  return by_node(*impl_->context, node_name, namespace_, EntityKind::reader,
                 no_demangle ? rclcpp_dds::keep_name : rclcpp_dds::demangle_topic,
                 no_demangle ? rclcpp_dds::keep_name : rclcpp_dds::demangle_type);
}

// Both come from the node's readers: a service reads requests, a client replies.
NamesAndTypes Node::get_service_names_and_types_by_node(const std::string& node_name,
                                                        const std::string& namespace_) const {
  return by_node(*impl_->context, node_name, namespace_, EntityKind::reader,
                 rclcpp_dds::demangle_service_request, rclcpp_dds::demangle_service_type);
}

NamesAndTypes Node::get_client_names_and_types_by_node(const std::string& node_name,
                                                       const std::string& namespace_) const {
  return by_node(*impl_->context, node_name, namespace_, EntityKind::reader,
                 rclcpp_dds::demangle_service_reply, rclcpp_dds::demangle_service_type);
}

std::string Node::graph_topic_name(const std::string& topic_name, bool no_mangle) const {
  return no_mangle ? topic_name
                   : "rt" + rclcpp_dds::expand_topic(topic_name, impl_->name, impl_->namespace_);
}

size_t Node::count_publishers(const std::string& topic_name) const {
  return refreshed(*impl_->context).count(EntityKind::writer, graph_topic_name(topic_name, false));
}

size_t Node::count_subscribers(const std::string& topic_name) const {
  return refreshed(*impl_->context).count(EntityKind::reader, graph_topic_name(topic_name, false));
}

std::vector<TopicEndpointInfo> Node::get_publishers_info_by_topic(const std::string& topic_name,
                                                                  bool no_mangle) const {
  return refreshed(*impl_->context)
      .endpoints_info(EntityKind::writer, graph_topic_name(topic_name, no_mangle),
                      no_mangle ? rclcpp_dds::keep_name : rclcpp_dds::demangle_type);
}

std::vector<TopicEndpointInfo> Node::get_subscriptions_info_by_topic(const std::string& topic_name,
                                                                     bool no_mangle) const {
  return refreshed(*impl_->context)
      .endpoints_info(EntityKind::reader, graph_topic_name(topic_name, no_mangle),
                      no_mangle ? rclcpp_dds::keep_name : rclcpp_dds::demangle_type);
}

}  // namespace rclcpp
