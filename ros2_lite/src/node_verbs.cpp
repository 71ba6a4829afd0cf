#include <algorithm>

#include "direct_node.hpp"
#include "graph_format.hpp"
#include "verb.hpp"

namespace ros2_lite {
namespace {

std::optional<std::string> node_list(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
  DirectNode direct(args);
  const Printed printed = format_node_list(direct.node().get_node_names_and_namespaces(),
                                           args.has("--all"), args.has("--count-nodes"));
  out << printed.out;
  err << printed.err;
  return std::nullopt;
}

std::optional<std::string> node_info(const ParsedArgs& args, std::ostream& out, std::ostream& err) {
  const std::string& wanted = args.positionals.at("node_name");
  const bool include_hidden = args.has("--include-hidden");
  DirectNode direct(args);
  rclcpp::Node& node = direct.node();
  // The name is compared as given: no leading '/' is added.
  size_t count = 0;
  std::pair<std::string, std::string> found;
  for (const auto& [name, ns] : node.get_node_names_and_namespaces()) {
    if ((include_hidden || (!name.empty() && !is_hidden_node_name(name))) &&
        full_node_name(name, ns) == wanted) {
      found = {name, ns};
      ++count;
    }
  }
  if (count > 1) {
    err << "There are " << count << " nodes in the graph with the exact name \"" << wanted
        << "\". You are seeing information about only one of them.\n";
  }
  if (count == 0) {
    return "Unable to find node '" + wanted + "'";
  }
  const auto& [name, ns] = found;
  NodeInfo info;
  info.subscribers = node.get_subscriber_names_and_types_by_node(name, ns);
  info.publishers = node.get_publisher_names_and_types_by_node(name, ns);
  info.service_servers = node.get_service_names_and_types_by_node(name, ns);
  info.service_clients = node.get_client_names_and_types_by_node(name, ns);
  out << format_node_info(wanted, info, include_hidden);
  return std::nullopt;
}

}  // namespace

std::vector<Verb> node_verbs() {
  return {
      {"node", "list", "Output a list of available nodes",
       DirectNode::options(
           {{{"-a", "--all"}, "", Nargs::kZero, "Display all nodes even hidden ones"},
            {{"-c", "--count-nodes"},
             "",
             Nargs::kZero,
             "Only display the number of nodes discovered"}}),
       node_list},
      {"node", "info", "Output information about a node",
       DirectNode::options({{{}, "node_name", Nargs::kOne, "Node name to request information"},
                            {{"--include-hidden"},
                             "",
                             Nargs::kZero,
                             "Display hidden topics, services, and actions as well"}}),
       node_info},
  };
}

}  // namespace ros2_lite
