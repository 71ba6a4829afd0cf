#include <cctype>
#include <stdexcept>

#include "direct_node.hpp"
#include "graph_format.hpp"
#include "verb.hpp"

namespace ros2_lite {
namespace {

std::optional<std::string> action_list(const ParsedArgs& args, std::ostream& out,
                                       std::ostream& /*err*/) {
  DirectNode direct(args);
  out << format_action_list(action_names_and_types(direct.node().get_topic_names_and_types()),
                            args.has("--show-types"), args.has("--count-actions"));
  return std::nullopt;
}

// The name as rcl expands a topic name for the ros2 command's own node in "/";
// nullopt for a name that is no valid topic name.
std::optional<std::string> expanded_action_name(const std::string& name,
                                                const std::string& own_node) {
  std::string expanded = name;
  if (name.rfind("~", 0) == 0) {
    expanded = "/" + own_node + name.substr(1);
  } else if (name.rfind("/", 0) != 0) {
    expanded = "/" + name;
  }
  for (size_t i = 0; i < expanded.size(); ++i) {
    const char c = expanded[i];
    const bool allowed = std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '/';
    if (!allowed || (c == '/' && i + 1 < expanded.size() && expanded[i + 1] == '/') ||
        (c == '/' && i + 1 < expanded.size() &&
         std::isdigit(static_cast<unsigned char>(expanded[i + 1])))) {
      return std::nullopt;
    }
  }
  if (expanded.size() > 1 && expanded.back() == '/') {
    return std::nullopt;
  }
  return expanded;
}

std::optional<std::string> action_info(const ParsedArgs& args, std::ostream& out,
                                       std::ostream& /*err*/) {
  const std::string& action_name = args.positionals.at("action_name");
  DirectNode direct(args);
  rclcpp::Node& node = direct.node();
  const auto expanded = expanded_action_name(action_name, node.get_name());
  if (!expanded) {
    return "Invalid action name '" + action_name + "'";
  }
  ActionEndpoints endpoints;
  for (const auto& [name, ns] : node.get_node_names_and_namespaces()) {
    try {
      for (auto [found, list] :
           {std::pair{action_names_and_types(node.get_subscriber_names_and_types_by_node(name, ns)),
                      &endpoints.clients},
            std::pair{action_names_and_types(node.get_publisher_names_and_types_by_node(name, ns)),
                      &endpoints.servers}}) {
        const auto it = found.find(*expanded);
        if (it != found.end()) {
          list->emplace_back(full_node_name(name, ns), it->second);
        }
      }
    } catch (const std::runtime_error&) {
      // The node left between the two queries.
    }
  }
  out << format_action_info(action_name, endpoints, args.has("--show-types"), args.has("--count"));
  return std::nullopt;
}

}  // namespace

std::vector<Verb> action_verbs() {
  const Argument show_types{
      {"-t", "--show-types"}, "", Nargs::kZero, "Additionally show the action type"};
  return {
      {"action",
       "info",
       "Print information about an action",
       {{{}, "action_name", Nargs::kOne, "Name of the ROS action to get info (e.g. '/fibonacci')"},
        show_types,
        {{"-c", "--count"},
         "",
         Nargs::kZero,
         "Only display the number of action clients and action servers"}},
       action_info},
      {"action",
       "list",
       "Output a list of action names",
       {show_types,
        {{"-c", "--count-actions"},
         "",
         Nargs::kZero,
         "Only display the number of actions discovered"}},
       action_list},
  };
}

}  // namespace ros2_lite
