#include "graph_format.hpp"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <sstream>

namespace ros2_lite {
namespace {

const std::string kActionFeedback = "/_action/feedback";
const std::string kFeedbackType = "_FeedbackMessage";

bool ends_with(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string join(const std::vector<std::string>& items, const std::string& separator) {
  std::string joined;
  for (const auto& item : items) {
    joined += (joined.empty() ? "" : separator) + item;
  }
  return joined;
}

// Actions show through their feedback topic: served where it is published,
// used where it is subscribed.
NamesAndTypes actions_of(const NamesAndTypes& topics) {
  NamesAndTypes actions;
  for (const auto& [topic, types] : topics) {
    if (!ends_with(topic, kActionFeedback)) {
      continue;
    }
    auto& action_types = actions[topic.substr(0, topic.size() - kActionFeedback.size())];
    for (const auto& type : types) {
      action_types.push_back(ends_with(type, kFeedbackType)
                                 ? type.substr(0, type.size() - kFeedbackType.size())
                                 : type);
    }
  }
  return actions;
}

// Python's print(*lines, sep='\n'): an empty section is one empty line.
void print_section(std::ostream& out, const std::string& title, const NamesAndTypes& entries,
                   bool include_hidden) {
  out << "  " << title << ":\n";
  std::vector<std::string> lines;
  for (const auto& [name, types] : entries) {
    if (include_hidden || !is_hidden_name(name)) {
      lines.push_back("    " + name + ": " + join(types, ", "));
    }
  }
  out << join(lines, "\n") << "\n";
}

const char* name_of(rclcpp::ReliabilityPolicy policy) {
  return policy == rclcpp::ReliabilityPolicy::Reliable ? "RELIABLE" : "BEST_EFFORT";
}

const char* name_of(rclcpp::DurabilityPolicy policy) {
  switch (policy) {
    case rclcpp::DurabilityPolicy::Volatile:
      return "VOLATILE";
    case rclcpp::DurabilityPolicy::TransientLocal:
      return "TRANSIENT_LOCAL";
    default:
      return "UNKNOWN";
  }
}

const char* name_of(rclcpp::LivelinessPolicy policy) {
  switch (policy) {
    case rclcpp::LivelinessPolicy::Automatic:
      return "AUTOMATIC";
    case rclcpp::LivelinessPolicy::ManualByTopic:
      return "MANUAL_BY_TOPIC";
    case rclcpp::LivelinessPolicy::SystemDefault:
      return "SYSTEM_DEFAULT";
    default:
      return "UNKNOWN";
  }
}

const char* name_of(rclcpp::EndpointType type) {
  switch (type) {
    case rclcpp::EndpointType::Publisher:
      return "PUBLISHER";
    case rclcpp::EndpointType::Subscription:
      return "SUBSCRIPTION";
    default:
      return "INVALID";
  }
}

// A Python list of strings as repr() shows it.
std::string python_list(const std::vector<std::string>& items) {
  std::vector<std::string> quoted;
  for (const auto& item : items) {
    quoted.push_back("'" + item + "'");
  }
  return "[" + join(quoted, ", ") + "]";
}

}  // namespace

std::string full_node_name(const std::string& name, const std::string& node_namespace) {
  return node_namespace + (ends_with(node_namespace, "/") ? "" : "/") + name;
}

bool is_hidden_node_name(const std::string& name) { return !name.empty() && name[0] == '_'; }

bool is_hidden_name(const std::string& name) {
  std::istringstream segments(name);
  std::string segment;
  while (std::getline(segments, segment, '/')) {
    if (!segment.empty() && segment[0] == '_') {
      return true;
    }
  }
  return false;
}

Printed format_node_list(const NodeNames& nodes, bool all, bool count) {
  std::vector<std::string> names;
  for (const auto& [name, ns] : nodes) {
    if (all || (!name.empty() && !is_hidden_node_name(name))) {
      names.push_back(full_node_name(name, ns));
    }
  }
  Printed printed;
  if (count) {
    printed.out = std::to_string(names.size()) + "\n";
  } else if (!names.empty()) {
    std::sort(names.begin(), names.end());
    if (std::adjacent_find(names.begin(), names.end()) != names.end()) {
      printed.err =
          "WARNING: Be aware that are nodes in the graph that share an exact name, this can have "
          "unintended side effects.\n";
    }
    printed.out = join(names, "\n") + "\n";
  }
  return printed;
}

std::string format_node_info(const std::string& node_name, const NodeInfo& info,
                             bool include_hidden) {
  std::ostringstream out;
  out << node_name << "\n";
  print_section(out, "Subscribers", info.subscribers, include_hidden);
  print_section(out, "Publishers", info.publishers, include_hidden);
  print_section(out, "Service Servers", info.service_servers, include_hidden);
  print_section(out, "Service Clients", info.service_clients, include_hidden);
  print_section(out, "Action Servers", actions_of(info.publishers), include_hidden);
  print_section(out, "Action Clients", actions_of(info.subscribers), include_hidden);
  return out.str();
}

std::string format_duration(const rclcpp::Duration& duration) {
  if (duration.nanoseconds() == std::numeric_limits<int64_t>::max()) {
    return "Infinite";
  }
  return std::to_string(duration.nanoseconds()) + " nanoseconds";
}

std::string format_gid(const rclcpp::TopicEndpointInfo::Gid& gid) {
  std::string text;
  for (const uint8_t byte : gid) {
    char hex[3];
    std::snprintf(hex, sizeof(hex), "%02x", byte);
    text += (text.empty() ? "" : ".") + std::string(hex);
  }
  return text;
}

std::string format_endpoint_info(const rclcpp::TopicEndpointInfo& info) {
  const rclcpp::QoS& qos = info.qos_profile();
  const std::string history = qos.history() == rclcpp::HistoryPolicy::KeepLast
                                  ? "KEEP_LAST (" + std::to_string(qos.depth()) + ")"
                                  : "KEEP_ALL";
  std::ostringstream out;
  out << "Node name: " << info.node_name() << "\n"
      << "Node namespace: " << info.node_namespace() << "\n"
      << "Topic type: " << info.topic_type() << "\n"
      << "Endpoint type: " << name_of(info.endpoint_type()) << "\n"
      << "GID: " << format_gid(info.endpoint_gid()) << "\n"
      << "QoS profile:\n"
      << "  Reliability: " << name_of(qos.reliability()) << "\n"
      << "  History (Depth): " << history << "\n"
      << "  Durability: " << name_of(qos.durability()) << "\n"
      << "  Lifespan: " << format_duration(qos.lifespan()) << "\n"
      << "  Deadline: " << format_duration(qos.deadline()) << "\n"
      << "  Liveliness: " << name_of(qos.liveliness()) << "\n"
      << "  Liveliness lease duration: " << format_duration(qos.liveliness_lease_duration());
  return out.str();
}

std::string format_topic_info(const TopicInfo& info, bool verbose) {
  // With -v every print ends in a blank line.
  const std::string end = verbose ? "\n\n" : "\n";
  std::ostringstream out;
  out << "Type: " << (info.types.size() == 1 ? info.types[0] : python_list(info.types)) << end;
  out << "Publisher count: " << info.publisher_count << end;
  if (verbose) {
    for (const auto& endpoint : info.publishers) {
      out << format_endpoint_info(endpoint) << end;
    }
  }
  out << "Subscription count: " << info.subscription_count << end;
  if (verbose) {
    for (const auto& endpoint : info.subscriptions) {
      out << format_endpoint_info(endpoint) << end;
    }
  }
  return out.str();
}

}  // namespace ros2_lite
