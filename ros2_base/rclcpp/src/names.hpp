#ifndef RCLCPP_DDS__NAMES_HPP_
#define RCLCPP_DDS__NAMES_HPP_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rclcpp_dds {

// What is wrong with a name, with rmw's and rcl's words, and where.
struct NameProblem {
  std::string message;
  size_t index;
};

bool is_token_char(char c);
bool is_digit(char c);
// One or more of [A-Za-z0-9_].
bool is_token(std::string_view text);

std::optional<NameProblem> check_node_name(const std::string& name);
// Absolute; "/" is the root namespace.
std::optional<NameProblem> check_namespace(const std::string& ns);
// A topic name after expansion: absolute, tokens only.
std::optional<NameProblem> check_full_topic_name(const std::string& name);
// An enclave (`--enclave`), as rcl checks it before it looks for the enclave's keys.
std::optional<NameProblem> check_enclave_name(const std::string& enclave);
// A topic name as the program writes it: relative, private (`~`) and with substitutions.
std::optional<NameProblem> check_topic_name(const std::string& name);

// `~`, the substitutions {node}, {ns} and {namespace}, and the namespace applied to a name that
// passed check_topic_name; the result is for check_full_topic_name. Throws
// rclcpp::exceptions::InvalidTopicNameError for an unknown substitution.
std::string expand_topic_name(const std::string& name, const std::string& node_name,
                              const std::string& node_namespace);

// rcl's logger name of a node: the namespace without its leading slash and with dots
// for the others, a dot, then the node name; the bare name in the root namespace.
std::string logger_name_for(const std::string& node_namespace, const std::string& node_name);

// Node keys of parameter overrides: "/**", "/*", or [/][namespace/]node where a namespace
// segment may be "*" (one segment) or "**" (any number of them) and the node "*" or "**".
// Returns what is wrong with the key, if anything.
std::optional<std::string> check_node_key(const std::string& key);
// The key with a leading '/', as rclcpp compares it.
std::string absolute_node_key(const std::string& key);
bool node_key_matches(const std::string& key, const std::string& node_fqn);

}  // namespace rclcpp_dds

#endif  // RCLCPP_DDS__NAMES_HPP_
