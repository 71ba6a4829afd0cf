#include <cctype>

#include "direct_node.hpp"
#include "graph_format.hpp"
#include "rclcpp/exceptions.hpp"
#include "verb.hpp"

namespace ros2_lite {
namespace {

// The name as ros2cli expands it for its own node in the root namespace, or
// ros2cli's error: rcl's check of the name as given, then rmw's of the result.
struct ExpandedName {
  std::string name;
  std::optional<std::string> error;
};

ExpandedName expanded_action_name(const std::string& name) {
  const auto is_token_char = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  };
  bool valid = !name.empty() && name.back() != '/';
  for (size_t i = 0; valid && i < name.size(); ++i) {
    const bool starts_token = i == 0 || name[i - 1] == '/';
    valid =
        name[i] == '/' || (is_token_char(name[i]) &&
                           !(starts_token && std::isdigit(static_cast<unsigned char>(name[i]))));
  }
  if (!valid) {
    return {name, "topic name '" + name + "' is invalid: topic name is invalid"};
  }
  const std::string full = name[0] == '/' ? name : "/" + name;
  const size_t repeated = full.find("//");
  if (repeated != std::string::npos) {
    std::string error = rclcpp::exceptions::NameValidationError::format_error(
        "topic name", full, "topic name must not contain repeated '/'", repeated + 1);
    error.pop_back();  // the caller ends the line
    return {full, error};
  }
  return {full, std::nullopt};
}

std::optional<std::string> action_list(const ParsedArgs& args, std::ostream& out,
                                       std::ostream& /*err*/) {
  DirectNode direct(args);
  out << format_action_list(actions_of(direct.node().get_topic_names_and_types()),
                            args.has("--show-types"), args.has("--count-actions"));
  return std::nullopt;
}

std::optional<std::string> action_info(const ParsedArgs& args, std::ostream& out,
                                       std::ostream& /*err*/) {
  const std::string& name = args.positionals.at("action_name");
  const auto expanded = expanded_action_name(name);
  if (expanded.error) {
    return expanded.error;
  }
  DirectNode direct(args);
  rclcpp::Node& node = direct.node();
  ActionEnds clients, servers;
  const auto collect = [&](const NamesAndTypes& topics, const std::string& node_name,
                           ActionEnds& ends) {
    for (const auto& [action, types] : actions_of(topics)) {
      if (action == expanded.name) {
        ends.emplace_back(node_name, types);
      }
    }
  };
  for (const auto& [node_name, ns] : node.get_node_names_and_namespaces()) {
    const std::string fqn = full_node_name(node_name, ns);
    collect(node.get_subscriber_names_and_types_by_node(node_name, ns), fqn, clients);
    collect(node.get_publisher_names_and_types_by_node(node_name, ns), fqn, servers);
  }
  out << format_action_info(name, clients, servers, args.has("--show-types"), args.has("--count"));
  return std::nullopt;
}

const Argument kShowTypes{
    {"-t", "--show-types"}, "", Nargs::kZero, "Additionally show the action type"};

}  // namespace

std::vector<Verb> action_verbs() {
  return {
      {"action",
       "info",
       "Print information about an action",
       {{{}, "action_name", Nargs::kOne, "Name of the ROS action to get info (e.g. '/fibonacci')"},
        kShowTypes,
        {{"-c", "--count"},
         "",
         Nargs::kZero,
         "Only display the number of action clients and action servers"}},
       action_info},
      {"action",
       "list",
       "Output a list of action names",
       {kShowTypes,
        {{"-c", "--count-actions"},
         "",
         Nargs::kZero,
         "Only display the number of actions discovered"}},
       action_list},
  };
}

}  // namespace ros2_lite
