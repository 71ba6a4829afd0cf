#include "topic_graph.hpp"

#include <algorithm>
#include <stdexcept>

#include "direct_node.hpp"
#include "graph_format.hpp"
#include "python_text.hpp"

namespace ros2_lite {

std::map<std::string, std::vector<std::string>> topic_names_and_types(const rclcpp::Node& node,
                                                                      bool include_hidden) {
  auto topics = node.get_topic_names_and_types();
  for (auto it = topics.begin(); it != topics.end();) {
    it = !include_hidden && is_hidden_name(it->first) ? topics.erase(it) : std::next(it);
  }
  return topics;
}

std::string expanded_topic_name(const std::string& topic, const std::string& node_name) {
  if (topic.rfind("~", 0) == 0) {
    return "/" + node_name + topic.substr(1);
  }
  return topic.rfind("/", 0) == 0 ? topic : "/" + topic;
}

std::shared_ptr<const rclcpp_dds::DynamicType> topic_message_type(const rclcpp::Node& node,
                                                                  const std::string& topic) {
  const auto topics = topic_names_and_types(node, true);
  const auto found = topics.find(expanded_topic_name(topic, node.get_name()));
  if (found == topics.end()) {
    return nullptr;
  }
  const auto& types = found->second;
  if (types.size() > 1) {
    throw std::runtime_error("Cannot echo topic '" + topic +
                             "', as it contains more than one type: [" +
                             joined(types, [](const std::string& t) { return t; }) + "]");
  }
  try {
    return rclcpp_dds::DynamicType::load(types.at(0));
  } catch (const std::runtime_error&) {
    throw std::runtime_error("The message type '" + types.at(0) + "' is invalid");
  }
}

std::shared_ptr<const rclcpp_dds::DynamicType> message_type_by_name(const std::string& type) {
  // rosidl_runtime_py's get_message takes "pkg/msg/Type" and "pkg/Type", nothing else.
  const size_t slashes = static_cast<size_t>(std::count(type.begin(), type.end(), '/'));
  const bool msg = slashes == 1 || (slashes == 2 && type.find("/msg/") != std::string::npos);
  if (msg) {
    try {
      return rclcpp_dds::DynamicType::load(slashes == 1 ? type.substr(0, type.find('/')) + "/msg" +
                                                              type.substr(type.find('/'))
                                                        : type);
    } catch (const std::runtime_error&) {
    }
  }
  throw std::runtime_error("The passed message type is invalid");
}

std::vector<Argument> direct_only_options() {
  std::vector<Argument> options;
  for (auto& option : DirectNode::options()) {
    if (option.flags != std::vector<std::string>{"--no-daemon"}) {
      options.push_back(option);
    }
  }
  return options;
}

}  // namespace ros2_lite
