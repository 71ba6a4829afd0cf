#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp_dds/dynamic_type.hpp"

namespace ros2_lite {

// The graph's topics and types, hidden ones only if asked.
std::map<std::string, std::vector<std::string>> topic_names_and_types(const rclcpp::Node& node,
                                                                      bool include_hidden);
// A topic name as rclpy expands it for a node in the root namespace.
std::string expanded_topic_name(const std::string& topic, const std::string& node_name);

// ros2topic's get_msg_class: the type of a topic as the graph shows it, loaded; null
// while the topic is unknown. Throws std::runtime_error with ros2topic's text for a
// topic of several types or a type with no package here.
std::shared_ptr<const rclcpp_dds::DynamicType> topic_message_type(const rclcpp::Node& node,
                                                                  const std::string& topic);
// A type named on the command line ("pkg/msg/Type" or "pkg/Type"); throws
// std::runtime_error("The passed message type is invalid").
std::shared_ptr<const rclcpp_dds::DynamicType> message_type_by_name(const std::string& type);

// The direct node's options without --no-daemon, as ros2cli's direct strategy adds
// them to pub, hz and bw.
std::vector<Argument> direct_only_options();

}  // namespace ros2_lite
