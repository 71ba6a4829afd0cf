#include "names.hpp"

#include <algorithm>
#include <cctype>
#include <vector>

#include "rclcpp/exceptions.hpp"

namespace rclcpp_dds {

namespace {

// Limits of rmw: 255 characters, 8 of them reserved for prefixes such as "rt/".
constexpr size_t kNodeNameMaxLength = 255;
constexpr size_t kTopicNameMaxLength = 247;
constexpr size_t kNamespaceMaxLength = kTopicNameMaxLength - 2;

// Absolute names made of tokens: full topic names, namespaces and enclaves. rmw and rcl word
// some of the problems differently for each.
struct AbsoluteNameRules {
  std::string kind;
  std::string trailing_slash;
  std::string token_starts_with_number;
  bool root_allowed;
  size_t max_length;
};

const AbsoluteNameRules kTopicRules{"topic name", "topic name must not end with a forward slash",
                                    "topic name token must not start with a number", false,
                                    kTopicNameMaxLength};
const AbsoluteNameRules kNamespaceRules{"namespace", "namespace must not end with a forward slash",
                                        "namespace must not have a token that starts with a number",
                                        true, kNamespaceMaxLength};
// rcl checks an enclave as a namespace that may be as long as a node name.
const AbsoluteNameRules kEnclaveRules{
    "context name", "context name must not end with a '/', unless only a '/'",
    "context name must not have a token that starts with a number", true, kNodeNameMaxLength};

std::optional<NameProblem> check_absolute_name(const std::string& name,
                                               const AbsoluteNameRules& rules) {
  if (name.empty()) {
    return NameProblem{rules.kind + " must not be empty", 0};
  }
  if (name[0] != '/') {
    return NameProblem{rules.kind + " must be absolute, it must lead with a '/'", 0};
  }
  if (name == "/" && rules.root_allowed) {
    return std::nullopt;
  }
  if (name.back() == '/') {
    return NameProblem{rules.trailing_slash, name.size() - 1};
  }
  for (size_t i = 0; i < name.size(); ++i) {
    if (!is_token_char(name[i]) && name[i] != '/') {
      return NameProblem{
          rules.kind + " must not contain characters other than alphanumerics, '_', or '/'", i};
    }
  }
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] == '/' && name[i - 1] == '/') {
      return NameProblem{rules.kind + " must not contain repeated '/'", i};
    }
    if (name[i - 1] == '/' && is_digit(name[i])) {
      return NameProblem{rules.token_starts_with_number, i};
    }
  }
  if (name.size() > rules.max_length) {
    return NameProblem{rules.kind + " should not exceed '" + std::to_string(rules.max_length) + "'",
                       rules.max_length - 1};
  }
  return std::nullopt;
}

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

}  // namespace

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

std::optional<NameProblem> check_namespace(const std::string& ns) {
  return check_absolute_name(ns, kNamespaceRules);
}

std::optional<NameProblem> check_full_topic_name(const std::string& name) {
  return check_absolute_name(name, kTopicRules);
}

std::optional<NameProblem> check_enclave_name(const std::string& enclave) {
  return check_absolute_name(enclave, kEnclaveRules);
}

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

bool node_key_matches(const std::string& key, const std::string& node_fqn) {
  return segments_match(split_segments(key), 0, split_segments(node_fqn), 0);
}

std::string logger_name_for(const std::string& node_namespace, const std::string& node_name) {
  if (node_namespace.size() <= 1) {
    return node_name;
  }
  std::string name = node_namespace.substr(1);
  for (char& c : name) {
    if (c == '/') c = '.';
  }
  return name + "." + node_name;
}

}  // namespace rclcpp_dds
