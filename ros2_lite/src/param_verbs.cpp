#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

#include "direct_node.hpp"
#include "graph_format.hpp"
#include "param_dump.hpp"
#include "param_text.hpp"
#include "python_regex.hpp"
#include "rcl_interfaces/srv/describe_parameters.hpp"
#include "rcl_interfaces/srv/get_parameters.hpp"
#include "rcl_interfaces/srv/list_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters.hpp"
#include "rclcpp/executors.hpp"
#include "verb.hpp"

namespace ros2_lite {
namespace {

using namespace rcl_interfaces::srv;  // NOLINT: the parameter service types
using std::chrono::seconds;

// ros2cli waits 5 s for a parameter service; the answer itself it would wait for
// forever, which a tool run from scripts must not.
constexpr seconds kServiceWait{5};
constexpr seconds kAnswerWait{10};

std::string absolute(const std::string& node_name) {
  return node_name.empty() || node_name[0] == '/' ? node_name : "/" + node_name;
}

// The visible nodes as (name, namespace), sorted as ros2cli sorts them.
NodeNames visible_nodes(rclcpp::Node& node, bool include_hidden) {
  NodeNames nodes;
  for (const auto& [name, ns] : node.get_node_names_and_namespaces()) {
    if (include_hidden || (!name.empty() && !is_hidden_node_name(name))) {
      nodes.emplace_back(name, ns);
    }
  }
  std::sort(nodes.begin(), nodes.end());
  return nodes;
}

bool node_exists(rclcpp::Node& node, const std::string& full_name, bool include_hidden) {
  const NodeNames nodes = visible_nodes(node, include_hidden);
  return std::any_of(nodes.begin(), nodes.end(),
                     [&](const auto& n) { return full_node_name(n.first, n.second) == full_name; });
}

template <class ServiceT>
typename ServiceT::Response call(DirectNode& direct, const std::string& service_name,
                                 const typename ServiceT::Request& request) {
  auto client = direct.node().create_client<ServiceT>(service_name);
  if (!client->wait_for_service(kServiceWait)) {
    throw std::runtime_error("Wait for service timed out");
  }
  auto future =
      client->async_send_request(std::make_shared<typename ServiceT::Request>(request)).future;
  if (rclcpp::spin_until_future_complete(direct.shared_node(), future, kAnswerWait) !=
      rclcpp::FutureReturnCode::SUCCESS) {
    throw std::runtime_error("No answer from service '" + service_name + "'");
  }
  return *future.get();
}

const Argument kNodeName{{}, "node_name", Nargs::kOne, "Name of the ROS node"};
const Argument kIncludeHidden{
    {"--include-hidden-nodes"}, "", Nargs::kZero, "Consider hidden nodes as well"};
const Argument kParameterName{{}, "parameter_name", Nargs::kOne, "Name of the parameter"};

using NodeVerbBody = std::optional<std::string> (*)(DirectNode& direct,
                                                    const std::string& node_name,
                                                    const ParsedArgs& args, std::ostream& out,
                                                    std::ostream& err);

// A verb about the one node named on the command line: "Node not found" unless the
// graph shows it.
Verb on_named_node(std::string name, std::string description, std::vector<Argument> arguments,
                   NodeVerbBody body) {
  return {"param", std::move(name), std::move(description), DirectNode::options(arguments),
          [body](const ParsedArgs& args, std::ostream& out,
                 std::ostream& err) -> std::optional<std::string> {
            const std::string node_name = absolute(args.positionals.at("node_name"));
            DirectNode direct(args);
            if (!node_exists(direct.node(), node_name, args.has("--include-hidden-nodes"))) {
              return "Node not found";
            }
            return body(direct, node_name, args, out, err);
          }};
}

std::optional<std::string> param_list(const ParsedArgs& args, std::ostream& out,
                                      std::ostream& err) {
  const auto given = args.positionals.find("node_name");
  const std::string wanted = given == args.positionals.end() ? "" : absolute(given->second);
  std::optional<PythonRegex> filter;
  if (const auto f = args.values.find("--filter"); f != args.values.end()) {
    try {
      filter.emplace(f->second);
    } catch (const PatternError& e) {
      return "Invalid regular expression '" + f->second + "': " + e.what();
    }
  }
  DirectNode direct(args);
  rclcpp::Node& node = direct.node();
  NodeNames nodes = visible_nodes(node, args.has("--include-hidden-nodes"));
  if (!wanted.empty()) {
    if (!node_exists(node, wanted, args.has("--include-hidden-nodes"))) {
      return "Node not found";
    }
    nodes.erase(
        std::remove_if(nodes.begin(), nodes.end(),
                       [&](const auto& n) { return full_node_name(n.first, n.second) != wanted; }),
        nodes.end());
  }
  // Each name is asked once, however many nodes share it.
  nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
  // Only nodes that offer the service are asked.
  const auto services = node.get_service_names_and_types();
  ListParameters::Request request;
  if (const auto p = args.lists.find("--param-prefixes"); p != args.lists.end()) {
    request.prefixes = p->second;
  }
  for (const auto& [name, ns] : nodes) {
    const std::string full_name = full_node_name(name, ns);
    if (services.count(full_name + "/list_parameters") == 0) {
      continue;
    }
    std::vector<std::string> names;
    try {
      names = call<ListParameters>(direct, full_name + "/list_parameters", request).result.names;
    } catch (const std::runtime_error& e) {
      err << "Exception while calling service of node '" << full_name << "': " << e.what() << "\n";
      continue;
    }
    std::sort(names.begin(), names.end());
    if (filter) {
      names.erase(std::remove_if(names.begin(), names.end(),
                                 [&](const std::string& n) { return !filter->match(n); }),
                  names.end());
    }
    if (wanted.empty() && !names.empty()) {
      out << full_name << ":\n";
    }
    std::map<std::string, std::string> types;
    if (args.has("--param-type")) {
      DescribeParameters::Request describe;
      describe.names = names;
      for (const auto& descriptor :
           call<DescribeParameters>(direct, full_name + "/describe_parameters", describe)
               .descriptors) {
        types[descriptor.name] = type_text(descriptor.type);
      }
    }
    for (const auto& n : names) {
      out << "  " << n;
      if (args.has("--param-type")) {
        out << " (type: " << types[n] << ")";
      }
      out << "\n";
    }
  }
  return std::nullopt;
}

std::optional<std::string> param_get(DirectNode& direct, const std::string& node_name,
                                     const ParsedArgs& args, std::ostream& out,
                                     std::ostream& /*err*/) {
  GetParameters::Request request;
  request.names = {args.positionals.at("parameter_name")};
  const auto values = call<GetParameters>(direct, node_name + "/get_parameters", request).values;
  if (values.empty()) {
    return "Parameter not set";
  }
  if (values[0].type > rcl_interfaces::msg::ParameterType::PARAMETER_STRING_ARRAY) {
    return "Unknown parameter type '" + std::to_string(values[0].type) + "'";
  }
  out << get_text(values[0], args.has("--hide-type")) << "\n";
  return std::nullopt;
}

// A failed set is reported on standard error with exit status 0, as ros2cli does.
std::optional<std::string> param_set(DirectNode& direct, const std::string& node_name,
                                     const ParsedArgs& args, std::ostream& out, std::ostream& err) {
  SetParameters::Request request;
  request.parameters.resize(1);
  request.parameters[0].name = args.positionals.at("parameter_name");
  request.parameters[0].value = value_from_text(args.positionals.at("value"));
  const auto results = call<SetParameters>(direct, node_name + "/set_parameters", request).results;
  if (results.size() != 1) {
    return "Expected one result from '" + node_name + "/set_parameters', got " +
           std::to_string(results.size());
  }
  const auto& result = results[0];
  const std::string reason = result.reason.empty() ? "" : ": " + result.reason;
  if (result.successful) {
    out << "Set parameter successful" << reason << "\n";
  } else {
    err << "Setting parameter failed" << reason << "\n";
  }
  return std::nullopt;
}

std::optional<std::string> param_describe(DirectNode& direct, const std::string& node_name,
                                          const ParsedArgs& args, std::ostream& out,
                                          std::ostream& /*err*/) {
  DescribeParameters::Request request;
  request.names = args.lists.at("parameter_names");
  for (const auto& descriptor :
       call<DescribeParameters>(direct, node_name + "/describe_parameters", request).descriptors) {
    out << describe_text(descriptor);
  }
  return std::nullopt;
}

std::optional<std::string> param_dump(DirectNode& direct, const std::string& node_name,
                                      const ParsedArgs& args, std::ostream& out,
                                      std::ostream& err) {
  const auto dir = args.values.find("--output-dir");
  const std::string output_dir = dir == args.values.end() ? "." : dir->second;
  if (!std::filesystem::is_directory(output_dir)) {
    return "'" + output_dir + "' is not a valid directory.";
  }
  const std::string list_service = node_name + "/list_parameters";
  std::vector<std::string> names;
  try {
    names = call<ListParameters>(direct, list_service, ListParameters::Request()).result.names;
  } catch (const std::runtime_error&) {
    throw std::runtime_error("Could not reach service '" + list_service + "'");
  }
  std::sort(names.begin(), names.end());
  std::vector<std::pair<std::string, std::optional<rcl_interfaces::msg::ParameterValue>>> values;
  for (const auto& name : names) {
    GetParameters::Request request;
    request.names = {name};
    const auto got = call<GetParameters>(direct, node_name + "/get_parameters", request).values;
    values.emplace_back(name, got.empty() ? std::nullopt : std::optional(got[0]));
  }
  const std::string yaml = dump_yaml(node_name, values);
  if (args.has("--print")) {
    err << "WARNING: '--print' is deprecated; this utility prints to stdout by default\n";
  }
  if (output_dir == ".") {
    out << yaml << "\n";
    return std::nullopt;
  }
  // The deprecated way, still honoured: a file named after the node.
  err << "WARNING: '--output-dir' is deprecated; use redirection to save to a file\n";
  std::string file_name = node_name.substr(1);
  for (size_t slash; (slash = file_name.find('/')) != std::string::npos;) {
    file_name.replace(slash, 1, "__");
  }
  const std::string path = (std::filesystem::path(output_dir) / (file_name + ".yaml")).string();
  out << "Saving to:  " << path << "\n";
  std::ofstream file(path);
  if (!(file << yaml)) {
    return "Cannot write '" + path + "'";
  }
  return std::nullopt;
}

}  // namespace

std::vector<Verb> param_verbs() {
  return {
      {"param", "list", "Output a list of available parameters",
       DirectNode::options(
           {{{}, "node_name", Nargs::kOptional, "Name of the ROS node"},
            {{"--filter"},
             "",
             Nargs::kListOfOne,
             "Only parameters matching the regex expression will be showed. Supports `re` regex "
             "syntax."},
            kIncludeHidden,
            {{"--param-prefixes"},
             "",
             Nargs::kOneOrMore,
             "Only list parameters with the provided prefixes"},
            {{"--param-type"}, "", Nargs::kZero, "Print parameter types with parameter names"}}),
       param_list},
      on_named_node("get", "Get parameter",
                    {kNodeName,
                     kIncludeHidden,
                     kParameterName,
                     {{"--hide-type"}, "", Nargs::kZero, "Hide the type information"}},
                    param_get),
      on_named_node("set", "Set parameter",
                    {kNodeName,
                     kIncludeHidden,
                     kParameterName,
                     {{}, "value", Nargs::kOne, "Value of the parameter"}},
                    param_set),
      on_named_node("describe", "Show descriptive information about declared parameters",
                    {kNodeName,
                     kIncludeHidden,
                     {{}, "parameter_names", Nargs::kOneOrMore, "Names of the parameters"}},
                    param_describe),
      on_named_node("dump", "Show all of the parameters of a node in a YAML file format",
                    {kNodeName,
                     kIncludeHidden,
                     {{"--output-dir"},
                      "",
                      Nargs::kOne,
                      "DEPRECATED: The absolute path where to save the generated file"},
                     {{"--print"}, "", Nargs::kZero, "DEPRECATED: Does nothing."}},
                    param_dump),
  };
}

}  // namespace ros2_lite
