#include "action_name.hpp"
#include "direct_node.hpp"
#include "graph_format.hpp"
#include "verb.hpp"

namespace ros2_lite {
namespace {

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
      send_goal_verb(),
  };
}

}  // namespace ros2_lite
