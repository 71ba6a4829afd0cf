#include "arguments.hpp"

#include <cctype>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "names.hpp"
#include "parameter_yaml.hpp"
#include "rclcpp/exceptions.hpp"

namespace rclcpp_dds {

namespace {

using rclcpp::ParameterValue;
using rclcpp::exceptions::RCLInvalidROSArgsError;

// A problem found while parsing one argument; the caller adds which argument it was.
struct ArgumentError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

void throw_if_invalid_topic(const std::string& name, const std::optional<NameProblem>& problem) {
  if (problem) {
    throw rclcpp::exceptions::InvalidTopicNameError(name, problem->message, problem->index);
  }
}

// The overrides of all sources, merged in time linear in their number: a repeated value
// replaces the earlier one in place, and the result is grouped by node key in the order each
// key first appeared. Keys are told apart as written, as rcl does: "n" and "/n" match the
// same node yet are two groups, each where it first appeared.
class OverrideMerger {
 public:
  void add(const std::string& node_key, const std::string& name, ParameterValue value) {
    const auto [at, added] = index_.try_emplace(node_key + '\0' + name, entries_.size());
    if (!added) {
      entries_[at->second].second.value = std::move(value);
      return;
    }
    const size_t group = groups_.try_emplace(node_key, groups_.size()).first->second;
    entries_.push_back(
        {group, ParameterOverride{absolute_node_key(node_key), name, std::move(value)}});
  }

  std::vector<ParameterOverride> take() {
    std::vector<std::vector<ParameterOverride>> grouped(groups_.size());
    for (auto& [group, override_] : entries_) {
      grouped[group].push_back(std::move(override_));
    }
    std::vector<ParameterOverride> result;
    result.reserve(entries_.size());
    for (auto& group : grouped) {
      std::move(group.begin(), group.end(), std::back_inserter(result));
    }
    return result;
  }

 private:
  std::vector<std::pair<size_t, ParameterOverride>> entries_;  // group, override
  std::unordered_map<std::string, size_t> groups_;             // node key -> group
  std::unordered_map<std::string, size_t> index_;              // node key, name -> entry
};

// What parsing fills: the arguments, and the overrides until they are merged.
struct Parse {
  Arguments args;
  OverrideMerger overrides;
};

// `name` is tokens and '/' in parts separated by '.'.
bool is_parameter_name(std::string_view name) {
  size_t begin = 0;
  while (true) {
    const size_t dot = name.find('.', begin);
    const std::string_view part = name.substr(begin, dot - begin);
    if (part.empty()) {
      return false;
    }
    for (char c : part) {
      if (!is_token_char(c) && c != '/') {
        return false;
      }
    }
    if (dot == std::string_view::npos) {
      return true;
    }
    begin = dot + 1;
  }
}

void parse_param_rule(Parse& parse, const std::string& rule) {
  const size_t separator = rule.find(":=");
  if (separator == std::string::npos) {
    throw ArgumentError("expected 'name:=value'");
  }
  std::string name = rule.substr(0, separator);
  std::string node = "/**";
  const size_t colon = name.find(':');
  if (colon != std::string::npos) {
    node = name.substr(0, colon);
    if (!is_token(node)) {
      throw ArgumentError("invalid node name '" + node + "'");
    }
    name = name.substr(colon + 1);
  }
  if (name.empty()) {
    throw ArgumentError("empty parameter name");
  }
  if (!is_parameter_name(name)) {
    throw ArgumentError("invalid parameter name '" + name + "'");
  }
  const std::string text = rule.substr(separator + 2);
  if (text.empty()) {
    throw ArgumentError("no value for parameter '" + name + "'");
  }
  parse.overrides.add(node, name, parse_parameter_value(text));
}

void parse_params_file(Parse& parse, const std::string& path) {
  read_parameter_file(
      path, [&parse](const std::string& node, const std::string& name, ParameterValue value) {
        parse.overrides.add(node, name, std::move(value));
      });
}

// `from` and `to` of a topic rule: an optional "~/" or "/", then tokens separated by '/'.
void check_remap_name(const std::string& name, const std::string& side) {
  std::string_view rest = name;
  if (starts_with(rest, "~/")) {
    rest.remove_prefix(2);
  } else if (starts_with(rest, "/")) {
    rest.remove_prefix(1);
  }
  size_t begin = 0;
  while (true) {
    const size_t slash = rest.find('/', begin);
    const std::string_view token = rest.substr(begin, slash - begin);
    if (token == "*" || token == "**") {
      throw ArgumentError("Wildcard '" + std::string(token) + "' is not implemented");
    }
    if (!token.empty() && token[0] == '\\') {
      throw ArgumentError("Backreferences are not implemented");
    }
    if (!is_token(token) || is_digit(token[0])) {
      throw ArgumentError("invalid " + side + " name '" + name + "'");
    }
    if (slash == std::string_view::npos) {
      return;
    }
    begin = slash + 1;
  }
}

void parse_remap_rule(Arguments& args, const std::string& rule) {
  const size_t separator = rule.find(":=");
  if (separator == std::string::npos) {
    throw ArgumentError("expected 'from:=to'");
  }
  std::string from = rule.substr(0, separator);
  std::string to = rule.substr(separator + 2);
  std::string node;
  const size_t colon = from.find(':');
  if (colon != std::string::npos && from.compare(colon, 3, "://") != 0) {
    node = from.substr(0, colon);
    if (!is_token(node)) {
      throw ArgumentError("invalid node name '" + node + "'");
    }
    from = from.substr(colon + 1);
  }
  if (from == "__node" || from == "__name") {
    if (auto problem = check_node_name(to)) {
      throw ArgumentError("Node name not remapped to invalid name '" + to +
                          "': " + problem->message);
    }
    args.node_name_remaps.push_back(RemapRule{node, "", to});
    return;
  }
  if (from == "__ns") {
    // rcl allows one trailing slash: "/robot1/".
    if (to.size() > 2 && to.back() == '/' && to[to.size() - 2] != '/') {
      to.pop_back();
    }
    if (to.empty() || to[0] != '/' || check_namespace(to)) {
      throw ArgumentError("Namespace not remapped to a fully qualified name (found: " + to + ")");
    }
    args.namespace_remaps.push_back(RemapRule{node, "", to});
    return;
  }
  bool services_only = false;
  if (starts_with(from, "rostopic://")) {
    from = from.substr(std::strlen("rostopic://"));
  } else if (starts_with(from, "rosservice://")) {
    from = from.substr(std::strlen("rosservice://"));
    services_only = true;
  }
  if (from.empty()) {
    throw ArgumentError("empty name to remap");
  }
  check_remap_name(from, "match");
  if (to.empty()) {
    throw ArgumentError("empty replacement name");
  }
  check_remap_name(to, "replacement");
  // This layer has no services; a service rule is valid but has nothing to rename.
  if (!services_only) {
    args.topic_remaps.push_back(RemapRule{node, from, to});
  }
}

std::optional<std::string> severity(std::string level) {
  for (char& c : level) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  for (const char* known : {"unset", "debug", "info", "warn", "error", "fatal"}) {
    if (level == known) {
      return level;
    }
  }
  return std::nullopt;
}

void parse_log_level(Arguments& args, const std::string& rule) {
  const size_t separator = rule.find(":=");
  if (separator == std::string::npos) {
    auto level = severity(rule);
    if (!level) {
      throw ArgumentError("Argument does not use a valid severity level");
    }
    args.log_level = *level;
    return;
  }
  const std::string logger = rule.substr(0, separator);
  if (logger.empty()) {
    throw ArgumentError("Argument has an invalid logger item that name is empty");
  }
  auto level = severity(rule.substr(separator + 2));
  if (!level) {
    throw ArgumentError("Argument does not use a valid severity level");
  }
  args.logger_levels[logger] = *level;
}

// Flags that take a value: what is parsed, and rcl's words for a flag left without one.
struct ValueFlag {
  std::vector<std::string_view> spellings;
  const char* what;
  const char* missing;
  void (*apply)(Parse&, const std::string&);
};

const std::vector<ValueFlag>& value_flags() {
  static const std::vector<ValueFlag> flags = {
      {{"-p", "--param"},
       "parameter override rule",
       "No parameter override rule found.",
       parse_param_rule},
      {{"-r", "--remap"},
       "remap rule",
       "No remap rule found.",
       [](Parse& parse, const std::string& rule) { parse_remap_rule(parse.args, rule); }},
      {{"--params-file"}, "params file", "No file path provided.", parse_params_file},
      {{"--log-level"},
       "log level",
       "No log level provided.",
       [](Parse& parse, const std::string& rule) { parse_log_level(parse.args, rule); }},
      // Accepted for compatibility; this layer writes no log files.
      {{"--log-file-name"},
       "log file name prefix",
       "No string prefix provided.",
       [](Parse&, const std::string&) {}},
      {{"--log-config-file"},
       "log configuration file",
       "No file path provided.",
       [](Parse& parse, const std::string& path) { parse.args.log_config_file = path; }},
      {{"-e", "--enclave"},
       "enclave name",
       "No enclave path provided.",
       [](Parse& parse, const std::string& enclave) { parse.args.enclave = enclave; }},
  };
  return flags;
}

bool parse_switch(Arguments& args, std::string_view arg) {
  static const std::pair<std::string_view, bool Arguments::*> kSwitches[] = {
      {"stdout-logs", &Arguments::log_stdout},
      {"rosout-logs", &Arguments::log_rosout},
      {"external-lib-logs", &Arguments::log_external_lib},
  };
  for (const auto& [suffix, member] : kSwitches) {
    if (arg.substr(0, 9) == "--enable-" && arg.substr(9) == suffix) {
      args.*member = true;
      return true;
    }
    if (arg.substr(0, 10) == "--disable-" && arg.substr(10) == suffix) {
      args.*member = false;
      return true;
    }
  }
  return false;
}

const ValueFlag* find_value_flag(std::string_view arg) {
  for (const auto& flag : value_flags()) {
    for (auto spelling : flag.spellings) {
      if (arg == spelling) {
        return &flag;
      }
    }
  }
  return nullptr;
}

// The first rule for the node (or for every node) wins, as in rcl.
const RemapRule* first_rule(const std::vector<RemapRule>& rules, const std::string& node_name) {
  for (const auto& rule : rules) {
    if (rule.node.empty() || rule.node == node_name) {
      return &rule;
    }
  }
  return nullptr;
}

}  // namespace

Arguments parse_arguments(int argc, const char* const* argv) {
  Parse parse;
  Arguments& args = parse.args;
  std::vector<std::string> unknown;
  bool in_ros_args = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!in_ros_args) {
      if (arg == "--ros-args") {
        in_ros_args = true;
      } else {
        args.non_ros_args.push_back(arg);
      }
      continue;
    }
    if (arg == "--ros-args") {
      continue;
    }
    if (arg == "--") {
      in_ros_args = false;
      continue;
    }
    if (const ValueFlag* flag = find_value_flag(arg)) {
      if (i + 1 >= argc) {
        throw RCLInvalidROSArgsError("Couldn't parse trailing " + arg + " flag. " + flag->missing);
      }
      const std::string value = argv[++i];
      try {
        flag->apply(parse, value);
      } catch (const std::runtime_error& error) {  // ArgumentError or ParameterYamlError
        throw RCLInvalidROSArgsError("Couldn't parse " + std::string(flag->what) + ": '" + arg +
                                     " " + value + "'. Error: " + error.what());
      }
      continue;
    }
    if (!parse_switch(args, arg)) {
      unknown.push_back(arg);
    }
  }
  if (!unknown.empty()) {
    throw rclcpp::exceptions::UnknownROSArgsError(std::move(unknown));
  }
  args.parameter_overrides = parse.overrides.take();
  return std::move(args);
}

std::map<std::string, ParameterValue> overrides_for(const Arguments& args,
                                                    const std::string& node_fqn) {
  std::map<std::string, ParameterValue> result;
  for (const auto& override_ : args.parameter_overrides) {
    if (node_key_matches(override_.node, node_fqn)) {
      result[override_.name] = override_.value;
    }
  }
  return result;
}

std::string expand_topic(const std::string& topic, const std::string& node_name,
                         const std::string& node_namespace) {
  throw_if_invalid_topic(topic, check_topic_name(topic));
  const std::string expanded = expand_topic_name(topic, node_name, node_namespace);
  throw_if_invalid_topic(expanded, check_full_topic_name(expanded));
  return expanded;
}

std::string resolve_topic(const Arguments& args, const std::string& topic,
                          const std::string& node_name, const std::string& node_namespace) {
  throw_if_invalid_topic(topic, check_topic_name(topic));
  const std::string expanded = expand_topic_name(topic, node_name, node_namespace);
  std::string resolved = expanded;
  for (const auto& rule : args.topic_remaps) {
    if (!rule.node.empty() && rule.node != node_name) {
      continue;
    }
    if (expand_topic_name(rule.from, node_name, node_namespace) == expanded) {
      resolved = expand_topic_name(rule.to, node_name, node_namespace);
      break;
    }
  }
  throw_if_invalid_topic(resolved, check_full_topic_name(resolved));
  return resolved;
}

std::string node_name_for(const Arguments& args, const std::string& name) {
  if (auto problem = check_node_name(name)) {
    throw rclcpp::exceptions::InvalidNodeNameError(name, problem->message, problem->index);
  }
  const RemapRule* rule = first_rule(args.node_name_remaps, name);
  return rule ? rule->to : name;
}

std::string node_namespace_for(const Arguments& args, const std::string& ns,
                               const std::string& name) {
  std::string normalised = ns.empty() || ns[0] != '/' ? "/" + ns : ns;
  if (auto problem = check_namespace(normalised)) {
    throw rclcpp::exceptions::InvalidNamespaceError(normalised, problem->message, problem->index);
  }
  const RemapRule* rule = first_rule(args.namespace_remaps, name);
  return rule ? rule->to : normalised;
}

}  // namespace rclcpp_dds
