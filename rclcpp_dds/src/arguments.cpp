#include "arguments.hpp"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "rclcpp/exceptions.hpp"

namespace rclcpp_dds {

namespace {

using rclcpp::ParameterValue;
using rclcpp::exceptions::RCLInvalidROSArgsError;

// Limits of rmw: a DDS topic name holds 255 characters including the "rt/" prefix.
constexpr size_t kNodeNameMaxLength = 255;
constexpr size_t kTopicNameMaxLength = 247;
constexpr size_t kNamespaceMaxLength = kTopicNameMaxLength - 2;

// A problem found while parsing one argument; the caller adds which argument it was.
struct ArgumentError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct NameProblem {
  std::string message;
  size_t index;
};

bool is_token_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool is_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

bool is_token(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  for (char c : text) {
    if (!is_token_char(c)) {
      return false;
    }
  }
  return true;
}

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// ---------------------------------------------------------------------------------------------
// Name validation, with the rules and messages of rmw and rcl.

std::optional<NameProblem> check_node_name(const std::string& name) {
  if (name.empty()) {
    return NameProblem{"node name must not be empty", 0};
  }
  for (size_t i = 0; i < name.size(); ++i) {
    if (!is_token_char(name[i])) {
      return NameProblem{"node name must not contain characters other than alphanumerics or '_'",
                         i};
    }
  }
  if (is_digit(name[0])) {
    return NameProblem{"node name must not start with a number", 0};
  }
  if (name.size() > kNodeNameMaxLength) {
    return NameProblem{
        "node name length should not exceed '" + std::to_string(kNodeNameMaxLength) + "'",
        kNodeNameMaxLength - 1};
  }
  return std::nullopt;
}

// Absolute names made of tokens: full topic names and namespaces ("/" only for namespaces).
std::optional<NameProblem> check_absolute_name(const std::string& name, const std::string& kind,
                                               size_t max_length) {
  if (name.empty()) {
    return NameProblem{kind + " must not be empty", 0};
  }
  if (name[0] != '/') {
    return NameProblem{kind + " must be absolute, it must lead with a '/'", 0};
  }
  if (name == "/" && kind == "namespace") {
    return std::nullopt;
  }
  if (name.back() == '/') {
    return NameProblem{kind + " must not end with a forward slash", name.size() - 1};
  }
  for (size_t i = 0; i < name.size(); ++i) {
    if (!is_token_char(name[i]) && name[i] != '/') {
      return NameProblem{
          kind + " must not contain characters other than alphanumerics, '_', or '/'", i};
    }
  }
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] == '/' && name[i - 1] == '/') {
      return NameProblem{kind + " must not contain repeated '/'", i};
    }
    if (name[i - 1] == '/' && is_digit(name[i])) {
      return NameProblem{kind == "namespace" ? "namespace must not have a token that starts with a "
                                               "number"
                                             : "topic name token must not start with a number",
                         i};
    }
  }
  if (name.size() > max_length) {
    return NameProblem{kind + " should not exceed '" + std::to_string(max_length) + "'",
                       max_length - 1};
  }
  return std::nullopt;
}

std::optional<NameProblem> check_namespace(const std::string& ns) {
  return check_absolute_name(ns, "namespace", kNamespaceMaxLength);
}

// A topic name as the program writes it: relative, private (`~`) and with substitutions.
std::optional<NameProblem> check_topic_name(const std::string& name) {
  if (name.empty()) {
    return NameProblem{"topic name must not be empty string", 0};
  }
  if (name.back() == '/') {
    return NameProblem{"topic name must not end with a forward slash", name.size() - 1};
  }
  std::optional<size_t> open_brace;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (open_brace) {
      if (c == '}') {
        if (is_digit(name[*open_brace + 1])) {
          return NameProblem{"substitution name must not start with a number", *open_brace + 1};
        }
        open_brace.reset();
      } else if (!is_token_char(c)) {
        return NameProblem{
            "substitution name must not contain characters other than alphanumerics or '_'", i};
      }
      continue;
    }
    if (c == '~') {
      if (i != 0) {
        return NameProblem{"topic name must not have tilde '~' unless it is the first character",
                           i};
      }
      if (name.size() > 1 && name[1] != '/') {
        return NameProblem{
            "topic name must not have a tilde '~' that is not followed by a forward slash '/'", 1};
      }
    } else if (c == '{') {
      open_brace = i;
    } else if (c == '}') {
      return NameProblem{"topic name must not have unmatched (unbalanced) curly braces '{}'", i};
    } else if (!is_token_char(c) && c != '/') {
      return NameProblem{
          "topic name must not contain characters other than alphanumerics, '_', '~', '{', or "
          "'}'",
          i};
    }
    if (is_digit(c) && (i == 0 || name[i - 1] == '/')) {
      return NameProblem{"topic name token must not start with a number", i};
    }
  }
  if (open_brace) {
    return NameProblem{"topic name must not have unmatched (unbalanced) curly braces '{}'",
                       *open_brace};
  }
  return std::nullopt;
}

void throw_if_invalid_topic(const std::string& name, const std::optional<NameProblem>& problem) {
  if (problem) {
    throw rclcpp::exceptions::InvalidTopicNameError(name, problem->message, problem->index);
  }
}

// `~`, substitutions and the namespace applied; the result is checked by the caller.
std::string expand_topic_name(const std::string& name, const std::string& node_name,
                              const std::string& node_namespace) {
  const std::string private_prefix =
      (node_namespace == "/" ? std::string() : node_namespace) + "/" + node_name;
  std::string expanded;
  size_t i = 0;
  if (name[0] == '~') {
    expanded = private_prefix;
    i = 1;
  }
  while (i < name.size()) {
    if (name[i] != '{') {
      expanded += name[i++];
      continue;
    }
    const size_t close = name.find('}', i);
    const std::string substitution = name.substr(i + 1, close - i - 1);
    if (substitution == "node") {
      expanded += node_name;
    } else if (substitution == "ns" || substitution == "namespace") {
      expanded += node_namespace;
    } else {
      throw rclcpp::exceptions::InvalidTopicNameError(
          name, "unknown substitution '{" + substitution + "}'", i);
    }
    i = close + 1;
  }
  if (expanded[0] != '/') {
    expanded = (node_namespace == "/" ? std::string() : node_namespace) + "/" + expanded;
  }
  return expanded;
}

// Keys of a parameter file: "/**", "/*", or [/][namespace/]node where a namespace segment may
// be "*" or "**" and the node "*" or "**".
std::optional<std::string> check_node_key(const std::string& key) {
  if (key == "/**" || key == "/*") {
    return std::nullopt;
  }
  const size_t last_slash = key.rfind('/');
  const std::string node = last_slash == std::string::npos ? key : key.substr(last_slash + 1);
  if (last_slash != std::string::npos) {
    std::string ns = key.substr(0, last_slash + 1);
    if (ns[0] != '/') {
      ns = "/" + ns;
    }
    size_t begin = 1;
    while (begin < ns.size()) {
      const size_t end = ns.find('/', begin);
      const std::string segment = ns.substr(begin, end - begin);
      if (segment.empty()) {
        return ns + " contains repeated forward slash";
      }
      if (segment != "*" && segment != "**") {
        if (auto problem = check_namespace("/" + segment)) {
          return problem->message;
        }
      }
      begin = end + 1;
    }
  }
  if (node != "*" && node != "**") {
    if (auto problem = check_node_name(node)) {
      return problem->message;
    }
  }
  return std::nullopt;
}

std::string absolute_node_key(const std::string& key) { return key[0] == '/' ? key : "/" + key; }

std::vector<std::string> split_segments(const std::string& name) {
  std::vector<std::string> segments;
  size_t begin = 1;
  while (begin <= name.size()) {
    const size_t end = std::min(name.find('/', begin), name.size());
    if (end > begin) {
      segments.push_back(name.substr(begin, end - begin));
    }
    begin = end + 1;
  }
  return segments;
}

// "*" stands for one segment, "**" for any number of them, as rclcpp's matching of keys.
bool segments_match(const std::vector<std::string>& pattern, size_t p,
                    const std::vector<std::string>& name, size_t n) {
  if (p == pattern.size()) {
    return n == name.size();
  }
  if (pattern[p] == "**") {
    for (size_t skip = n; skip <= name.size(); ++skip) {
      if (segments_match(pattern, p + 1, name, skip)) {
        return true;
      }
    }
    return false;
  }
  return n < name.size() && (pattern[p] == "*" || pattern[p] == name[n]) &&
         segments_match(pattern, p + 1, name, n + 1);
}

bool node_key_matches(const std::string& key, const std::string& node_fqn) {
  return segments_match(split_segments(key), 0, split_segments(node_fqn), 0);
}

// ---------------------------------------------------------------------------------------------
// Parameter values from YAML, typed as rcl does: plain scalars are tried as bool (the YAML 1.1
// words y/yes/true/on and n/no/false/off in lower, Capitalised and UPPER case), then as integer
// (strtoll with base 0, so 0x1F is 31 and 010 is 8), then as double (strtod, plus the YAML
// .inf/.nan forms); anything else, and every quoted or !!str scalar, is a string.

bool is_plain(const YAML::Node& node) { return node.Tag() == "?"; }

ParameterValue typed_scalar(const std::string& text, bool plain) {
  if (!plain) {
    return ParameterValue(text);
  }
  static const char* const kTrue[] = {"Y",    "y",    "yes", "Yes", "YES", "true",
                                      "True", "TRUE", "on",  "On",  "ON"};
  static const char* const kFalse[] = {"N",     "n",     "no",  "No",  "NO", "false",
                                       "False", "FALSE", "off", "Off", "OFF"};
  for (const char* word : kTrue) {
    if (text == word) {
      return ParameterValue(true);
    }
  }
  for (const char* word : kFalse) {
    if (text == word) {
      return ParameterValue(false);
    }
  }
  if (text.empty()) {
    return ParameterValue(text);
  }
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long long integer = std::strtoll(begin, &end, 0);
  if (errno == 0 && end != begin && *end == '\0') {
    return ParameterValue(static_cast<int64_t>(integer));
  }
  static const char* const kSpecial[] = {".nan",  ".NaN",  ".NAN",  ".inf",  ".Inf",  ".INF",
                                         "+.inf", "+.Inf", "+.INF", "-.inf", "-.Inf", "-.INF"};
  for (const char* word : kSpecial) {
    if (text == word) {
      const double magnitude = std::strtod(text.c_str() + text.find('.') + 1, nullptr);
      return ParameterValue(text[0] == '-' ? -magnitude : magnitude);
    }
  }
  errno = 0;
  const double real = std::strtod(begin, &end);
  if (errno == 0 && end != begin && *end == '\0') {
    return ParameterValue(real);
  }
  return ParameterValue(text);
}

// yaml-cpp reads `~` and `null` as null and drops the text; rcl keeps them as strings. An
// empty value has no text at all.
std::optional<std::string> null_literal(std::string_view source, const YAML::Mark& mark) {
  if (mark.pos < 0 || static_cast<size_t>(mark.pos) >= source.size()) {
    return std::nullopt;
  }
  const std::string_view rest = source.substr(static_cast<size_t>(mark.pos));
  for (std::string_view word : {"~", "null", "Null", "NULL"}) {
    if (starts_with(rest, word)) {
      const char next = rest.size() > word.size() ? rest[word.size()] : '\n';
      if (std::isspace(static_cast<unsigned char>(next)) || next == ',' || next == ']' ||
          next == '#') {
        return std::string(word);
      }
    }
  }
  return std::nullopt;
}

std::string at_line(const YAML::Node& node) {
  return node.Mark().line >= 0 ? " at line " + std::to_string(node.Mark().line + 1) : "";
}

ParameterValue scalar_value(const YAML::Node& node, std::string_view source) {
  if (node.IsNull()) {
    if (auto literal = null_literal(source, node.Mark())) {
      return ParameterValue(*literal);
    }
    throw ArgumentError("No value" + at_line(node));
  }
  if (node.Tag() == "tag:yaml.org,2002:str") {
    return ParameterValue(node.Scalar());
  }
  return typed_scalar(node.Scalar(), is_plain(node));
}

template <typename T>
std::vector<T> collect(const std::vector<ParameterValue>& items) {
  std::vector<T> values;
  for (const auto& item : items) {
    values.push_back(item.get<T>());
  }
  return values;
}

ParameterValue sequence_value(const YAML::Node& node, std::string_view source) {
  if (node.size() == 0) {
    throw ArgumentError("Empty sequence" + at_line(node) + ": its type cannot be inferred");
  }
  std::vector<ParameterValue> items;
  for (const auto& element : node) {
    if (!element.IsScalar() && !element.IsNull()) {
      throw ArgumentError("Sequences may hold only scalar values" + at_line(element));
    }
    items.push_back(scalar_value(element, source));
    if (items.back().get_type() != items.front().get_type()) {
      throw ArgumentError("Sequence should be of same type. Value type '" +
                          rclcpp::to_string(items.back().get_type()) + "' do not belong" +
                          at_line(element));
    }
  }
  switch (items.front().get_type()) {
    case rclcpp::PARAMETER_BOOL:
      return ParameterValue(collect<bool>(items));
    case rclcpp::PARAMETER_INTEGER:
      return ParameterValue(collect<int64_t>(items));
    case rclcpp::PARAMETER_DOUBLE:
      return ParameterValue(collect<double>(items));
    default:
      return ParameterValue(collect<std::string>(items));
  }
}

ParameterValue yaml_value(const YAML::Node& node, std::string_view source) {
  if (node.IsSequence()) {
    return sequence_value(node, source);
  }
  if (node.IsMap()) {
    throw ArgumentError("A map is not a parameter value" + at_line(node));
  }
  return scalar_value(node, source);
}

std::string yaml_error(const YAML::Exception& error) {
  std::string message = error.msg;
  if (!error.mark.is_null()) {
    message += " at line " + std::to_string(error.mark.line + 1) + ", column " +
               std::to_string(error.mark.column + 1);
  }
  return message;
}

// ---------------------------------------------------------------------------------------------
// The ROS arguments.

void add_override(Arguments& args, const std::string& node_key, const std::string& name,
                  ParameterValue value) {
  const std::string node = absolute_node_key(node_key);
  auto& overrides = args.parameter_overrides;
  auto last_of_node = overrides.end();
  for (auto it = overrides.begin(); it != overrides.end(); ++it) {
    if (it->node != node) {
      continue;
    }
    if (it->name == name) {
      it->value = std::move(value);
      return;
    }
    last_of_node = it;
  }
  const auto position = last_of_node == overrides.end() ? overrides.end() : last_of_node + 1;
  overrides.insert(position, ParameterOverride{node, name, std::move(value)});
}

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

void parse_param_rule(Arguments& args, const std::string& rule) {
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
  YAML::Node value;
  try {
    value = YAML::Load(text);
  } catch (const YAML::Exception& error) {
    throw ArgumentError(yaml_error(error));
  }
  add_override(args, node, name, yaml_value(value, text));
}

void add_parameters(Arguments& args, const std::string& node, const std::string& prefix,
                    const YAML::Node& map, std::string_view source) {
  for (const auto& entry : map) {
    const std::string key = entry.first.Scalar();
    if (!entry.first.IsScalar() || key.empty()) {
      throw ArgumentError("No key" + at_line(entry.first));
    }
    const std::string name = prefix.empty() ? key : prefix + "." + key;
    if (entry.second.IsMap()) {
      add_parameters(args, node, name, entry.second, source);
    } else if (entry.second.IsNull() && !null_literal(source, entry.second.Mark())) {
      // An empty value has no position of its own.
      throw ArgumentError("No value" + at_line(entry.first));
    } else {
      add_override(args, node, name, yaml_value(entry.second, source));
    }
  }
}

// Keys above `ros__parameters` name the node; nested keys are namespaces joined with '/'.
void add_nodes(Arguments& args, const std::string& node_prefix, const YAML::Node& map,
               std::string_view source) {
  for (const auto& entry : map) {
    const std::string key = entry.first.Scalar();
    if (!entry.first.IsScalar() || key.empty()) {
      throw ArgumentError("No key" + at_line(entry.first));
    }
    const YAML::Node& value = entry.second;
    if (key == "ros__parameters") {
      if (node_prefix.empty()) {
        throw ArgumentError("There are no node names before ros__parameters" + at_line(value));
      }
      if (auto problem = check_node_key(node_prefix)) {
        throw ArgumentError("Invalid node name '" + node_prefix + "'" + at_line(entry.first) +
                            ": " + *problem);
      }
      if (value.IsMap()) {
        add_parameters(args, node_prefix, "", value, source);
      } else if (!value.IsNull()) {
        throw ArgumentError("Expected a map of parameters under ros__parameters" + at_line(value));
      }
    } else if (value.IsMap()) {
      add_nodes(args, node_prefix.empty() ? key : node_prefix + "/" + key, value, source);
    } else if (value.IsSequence()) {
      throw ArgumentError("Sequences can only be values and not keys in params. Error" +
                          at_line(value));
    } else {
      throw ArgumentError("Cannot have a value before ros__parameters" + at_line(entry.first));
    }
  }
}

void parse_params_file(Arguments& args, const std::string& path) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    throw ArgumentError("Error opening YAML file (it is a directory)");
  }
  std::ifstream file(path);
  if (!file) {
    throw ArgumentError("Error opening YAML file (" + std::string(std::strerror(errno)) + ")");
  }
  std::ostringstream content;
  content << file.rdbuf();
  const std::string text = content.str();
  std::vector<YAML::Node> documents;
  try {
    documents = YAML::LoadAll(text);
  } catch (const YAML::Exception& error) {
    throw ArgumentError(yaml_error(error));
  }
  for (const auto& document : documents) {
    if (document.IsMap()) {
      add_nodes(args, "", document, text);
    } else if (document.IsSequence()) {
      throw ArgumentError("Sequences can only be values and not keys in params. Error" +
                          at_line(document));
    } else if (!document.IsNull()) {
      throw ArgumentError("Cannot have a value before ros__parameters" + at_line(document));
    }
  }
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
    if (!is_token(token)) {
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
  void (*apply)(Arguments&, const std::string&);
};

const std::vector<ValueFlag>& value_flags() {
  static const std::vector<ValueFlag> flags = {
      {{"-p", "--param"},
       "parameter override rule",
       "No parameter override rule found.",
       parse_param_rule},
      {{"-r", "--remap"}, "remap rule", "No remap rule found.", parse_remap_rule},
      {{"--params-file"}, "params file", "No file path provided.", parse_params_file},
      {{"--log-level"}, "log level", "No log level provided.", parse_log_level},
      // Accepted for compatibility; this layer writes no log files.
      {{"--log-file-name"},
       "log file name prefix",
       "No string prefix provided.",
       [](Arguments&, const std::string&) {}},
      {{"--log-config-file"},
       "log configuration file",
       "No file path provided.",
       [](Arguments& args, const std::string& path) { args.log_config_file = path; }},
      {{"-e", "--enclave"},
       "enclave name",
       "No enclave path provided.",
       [](Arguments& args, const std::string& enclave) { args.enclave = enclave; }},
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

// The first rule for `original_name` (or for every node) wins, as in rcl.
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
  Arguments args;
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
        flag->apply(args, value);
      } catch (const ArgumentError& error) {
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
  return args;
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
  throw_if_invalid_topic(resolved,
                         check_absolute_name(resolved, "topic name", kTopicNameMaxLength));
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
