#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/duration.hpp"
#include "rclcpp/topic_endpoint_info.hpp"

namespace ros2_lite {

using NamesAndTypes = std::map<std::string, std::vector<std::string>>;
// (name, namespace), as the graph gives nodes.
using NodeNames = std::vector<std::pair<std::string, std::string>>;

// What a verb prints to standard output and standard error.
struct Printed {
  std::string out;
  std::string err;
};

std::string full_node_name(const std::string& name, const std::string& node_namespace);
// ros2cli hides nodes whose name starts with '_' and topics, services and
// actions with such a segment anywhere in their name.
bool is_hidden_node_name(const std::string& name);
bool is_hidden_name(const std::string& name);

// `ros2 node list [-a] [-c]`
Printed format_node_list(const NodeNames& nodes, bool all, bool count);

// A node's endpoints as `ros2 node info` gathers them.
struct NodeInfo {
  NamesAndTypes subscribers;
  NamesAndTypes publishers;
  NamesAndTypes service_servers;
  NamesAndTypes service_clients;
};

// `ros2 node info NODE` for a node that was found.
std::string format_node_info(const std::string& node_name, const NodeInfo& info,
                             bool include_hidden);

// `Infinite`, else "<n> nanoseconds".
std::string format_duration(const rclcpp::Duration& duration);
// Bytes as two hex digits each, joined by '.'.
std::string format_gid(const rclcpp::TopicEndpointInfo::Gid& gid);
// One endpoint as rclpy's TopicEndpointInfo prints it, without a final newline.
std::string format_endpoint_info(const rclcpp::TopicEndpointInfo& info);

struct TopicInfo {
  std::vector<std::string> types;
  size_t publisher_count = 0;
  size_t subscription_count = 0;
  std::vector<rclcpp::TopicEndpointInfo> publishers;     // only used with verbose
  std::vector<rclcpp::TopicEndpointInfo> subscriptions;  // only used with verbose
};

// `ros2 topic info [-v] TOPIC` for a topic that was found.
std::string format_topic_info(const TopicInfo& info, bool verbose);

}  // namespace ros2_lite
