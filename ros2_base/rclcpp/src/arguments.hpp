#ifndef RCLCPP_DDS__ARGUMENTS_HPP_
#define RCLCPP_DDS__ARGUMENTS_HPP_

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "rclcpp/parameter_value.hpp"

namespace rclcpp_dds {

// `[node:]from:=to`; the names are kept as written and resolved when a topic is matched.
struct RemapRule {
  // Empty: every node. Topic rules compare it with the node's name after `__node:=`, name and
  // namespace rules with the name the node was created with.
  std::string node;
  std::string from;
  std::string to;
};

struct ParameterOverride {
  // The key the value was given under, with a leading '/': "/**" for every node, else a fully
  // qualified name ("/name" for a bare node name) or a pattern with "*" (one name segment) and
  // "**" (any number of them).
  std::string node;
  std::string name;
  rclcpp::ParameterValue value;
};

struct Arguments {
  // Grouped by node key as written ("n" and "/n" apart) in the order each key first appeared,
  // a repeated value replacing the earlier one in place: the order rcl keeps them in, which
  // decides who wins.
  std::vector<ParameterOverride> parameter_overrides;
  // For each kind the first rule that matches wins, as in rcl. Node name and namespace rules
  // (`[node:]__node:=name`, `[node:]__ns:=/ns`) leave `from` empty.
  std::vector<RemapRule> topic_remaps;
  std::vector<RemapRule> node_name_remaps;
  std::vector<RemapRule> namespace_remaps;
  std::optional<std::string> log_level;              // default severity, lower case
  std::map<std::string, std::string> logger_levels;  // `--log-level name:=level`
  std::optional<std::string> log_config_file;
  std::optional<std::string> enclave;
  bool log_stdout = true;
  bool log_rosout = true;
  bool log_external_lib = true;
  std::vector<std::string> non_ros_args;  // argv[0] first
};

// Throws rclcpp::exceptions::RCLInvalidROSArgsError for a malformed argument or parameter file
// and rclcpp::exceptions::UnknownROSArgsError for ROS arguments no rule knows.
Arguments parse_arguments(int argc, const char* const* argv);

// The overrides that apply to the node of the given fully qualified name, later keys winning.
std::map<std::string, rclcpp::ParameterValue> overrides_for(const Arguments& args,
                                                            const std::string& node_fqn);

// Expands a topic name for a node (absolute kept, relative under the namespace, `~` private) and
// validates the result, without remapping. Throws rclcpp::exceptions::InvalidTopicNameError.
std::string expand_topic(const std::string& topic, const std::string& node_name,
                         const std::string& node_namespace);

// Expands a topic name for a node (absolute kept, relative under the namespace, `~` private),
// applies the first matching remap rule and validates the result. Throws
// rclcpp::exceptions::InvalidTopicNameError.
std::string resolve_topic(const Arguments& args, const std::string& topic,
                          const std::string& node_name, const std::string& node_namespace);

// The node's name and namespace after `__node:=` / `__ns:=`, both matched on the name the node
// was created with; the namespace always starts with "/". Throw
// rclcpp::exceptions::InvalidNodeNameError / InvalidNamespaceError.
std::string node_name_for(const Arguments& args, const std::string& name);
std::string node_namespace_for(const Arguments& args, const std::string& ns,
                               const std::string& name);

}  // namespace rclcpp_dds

#endif  // RCLCPP_DDS__ARGUMENTS_HPP_
