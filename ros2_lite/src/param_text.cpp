#include "param_text.hpp"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <regex>
#include <variant>

namespace ros2_lite {
namespace {

using rcl_interfaces::msg::ParameterType;
using rcl_interfaces::msg::ParameterValue;

// YAML 1.1 implicit types, as PyYAML's resolver has them.
const std::regex bool_pattern(
    "yes|Yes|YES|no|No|NO|true|True|TRUE|false|False|FALSE|on|On|ON|off|Off|OFF");
const std::regex int_pattern(
    "[-+]?0b[0-1_]+|[-+]?0[0-7_]+|[-+]?(?:0|[1-9][0-9_]*)|[-+]?0x[0-9a-fA-F_]+");
const std::regex float_pattern(
    "[-+]?(?:[0-9][0-9_]*)\\.[0-9_]*(?:[eE][-+][0-9]+)?|\\.[0-9][0-9_]*(?:[eE][-+][0-9]+)?|"
    "[-+]?\\.(?:inf|Inf|INF)|\\.(?:nan|NaN|NAN)");
const std::regex null_pattern("~|null|Null|NULL|");

using Scalar = std::variant<std::monostate, bool, int64_t, double, std::string>;

std::string without_underscores(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '_'), text.end());
  return text;
}

// A plain scalar that does not fit int64 stays text.
std::optional<int64_t> to_int(const std::string& text) {
  std::string digits = without_underscores(text);
  bool negative = false;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
    negative = digits[0] == '-';
    digits.erase(0, 1);
  }
  int base = 10;
  if (digits.rfind("0b", 0) == 0) {
    base = 2;
    digits.erase(0, 2);
  } else if (digits.rfind("0x", 0) == 0) {
    base = 16;
    digits.erase(0, 2);
  } else if (digits.size() > 1 && digits[0] == '0') {
    base = 8;
  }
  uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  if (error != std::errc() || end != digits.data() + digits.size() ||
      magnitude > uint64_t{std::numeric_limits<int64_t>::max()} + (negative ? 1 : 0)) {
    return std::nullopt;
  }
  return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

double to_double(const std::string& text) {
  std::string value = without_underscores(text);
  for (auto& c : value) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  const bool negative = !value.empty() && value[0] == '-';
  if (value.find(".inf") != std::string::npos) {
    return negative ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
  }
  if (value == ".nan") {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return std::strtod(value.c_str(), nullptr);
}

Scalar resolve_plain(const std::string& text) {
  if (std::regex_match(text, bool_pattern)) {
    const char first = text[0];
    return first == 'y' || first == 'Y' || first == 't' || first == 'T' || text == "on" ||
           text == "On" || text == "ON";
  }
  if (std::regex_match(text, int_pattern)) {
    if (const auto value = to_int(text)) {
      return *value;
    }
    return text;
  }
  if (std::regex_match(text, float_pattern)) {
    return to_double(text);
  }
  if (std::regex_match(text, null_pattern)) {
    return std::monostate();
  }
  return text;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) {
    return "";
  }
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// A quoted scalar's content; nullopt when `text` is not one whole quoted scalar.
std::optional<std::string> unquoted(const std::string& text) {
  if (text.size() < 2 || (text[0] != '\'' && text[0] != '"') || text.back() != text[0]) {
    return std::nullopt;
  }
  const char quote = text[0];
  std::string content;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    if (quote == '\'' && text[i] == '\'') {
      if (text[i + 1] != '\'' || i + 2 == text.size()) {
        return std::nullopt;
      }
      ++i;
    } else if (quote == '"' && text[i] == '\\') {
      if (i + 2 == text.size()) {
        return std::nullopt;
      }
      const char escaped = text[++i];
      content += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
      continue;
    } else if (quote == '"' && text[i] == '"') {
      return std::nullopt;
    }
    content += text[i];
  }
  return content;
}

Scalar resolve(const std::string& text) {
  if (const auto content = unquoted(text)) {
    return *content;
  }
  return resolve_plain(text);
}

// The items of a flow sequence of scalars; nullopt for anything else.
std::optional<std::vector<Scalar>> flow_sequence(const std::string& text) {
  if (text.size() < 2 || text.front() != '[' || text.back() != ']') {
    return std::nullopt;
  }
  std::vector<std::string> items;
  std::string item;
  char quote = 0;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    const char c = text[i];
    if (quote == 0 && (c == '[' || c == ']' || c == '{' || c == '}')) {
      return std::nullopt;
    }
    if (quote == 0 && c == ',') {
      items.push_back(trimmed(item));
      item.clear();
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = quote == 0 ? c : (quote == c ? 0 : quote);
    }
    item += c;
  }
  if (quote != 0) {
    return std::nullopt;
  }
  if (!trimmed(item).empty()) {
    items.push_back(trimmed(item));
  }
  std::vector<Scalar> values;
  for (const auto& text_item : items) {
    if (text_item.empty()) {
      return std::nullopt;
    }
    values.push_back(resolve(text_item));
  }
  return values;
}

template <class T>
bool all_of_type(const std::vector<Scalar>& values) {
  return std::all_of(values.begin(), values.end(),
                     [](const Scalar& v) { return std::holds_alternative<T>(v); });
}

template <class T>
std::vector<T> all_as(const std::vector<Scalar>& values) {
  std::vector<T> result;
  for (const auto& v : values) {
    result.push_back(std::get<T>(v));
  }
  return result;
}

std::string python_str_repr(const std::string& text) {
  const bool has_single = text.find('\'') != std::string::npos;
  const char quote = has_single && text.find('"') == std::string::npos ? '"' : '\'';
  std::string out(1, quote);
  for (const unsigned char c : text) {
    if (c == '\\' || c == quote) {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7f) {
      char escaped[5];
      std::snprintf(escaped, sizeof(escaped), "\\x%02x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + quote;
}

std::string python_bytes_repr(uint8_t byte) {
  if (byte == '\\' || byte == '\'') {
    return std::string("b'\\") + static_cast<char>(byte) + "'";
  }
  if (byte >= 0x20 && byte < 0x7f) {
    return std::string("b'") + static_cast<char>(byte) + "'";
  }
  const char* named = byte == '\n' ? "\\n" : byte == '\t' ? "\\t" : byte == '\r' ? "\\r" : nullptr;
  if (named != nullptr) {
    return std::string("b'") + named + "'";
  }
  char escaped[8];
  std::snprintf(escaped, sizeof(escaped), "b'\\x%02x'", byte);
  return escaped;
}

template <class T, class F>
std::string joined(const std::vector<T>& values, F text_of) {
  std::string out;
  for (size_t i = 0; i < values.size(); ++i) {
    out += (i == 0 ? "" : ", ") + text_of(values[i]);
  }
  return out;
}

std::string python_bool(bool value) { return value ? "True" : "False"; }

// --- YAML output, as PyYAML's dump(default_flow_style=False) writes these values.

std::string yaml_string(const std::string& text) {
  if (text.empty() || !std::holds_alternative<std::string>(resolve_plain(text))) {
    return "'" + text + "'";
  }
  const bool special =
      std::any_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c >= 0x7f; });
  if (special) {
    return python_str_repr(text).front() == '"'
               ? python_str_repr(text)
               : "\"" + python_str_repr(text).substr(1, text.size() + 0) + "\"";
  }
  const std::string indicators = "#,[]{}&*!|>'\"%@`";
  const bool needs_quotes = indicators.find(text[0]) != std::string::npos ||
                            ((text[0] == '-' || text[0] == '?' || text[0] == ':') &&
                             (text.size() == 1 || text[1] == ' ')) ||
                            text.find(": ") != std::string::npos ||
                            text.find(" #") != std::string::npos || text.back() == ':' ||
                            text.front() == ' ' || text.back() == ' ';
  if (!needs_quotes) {
    return text;
  }
  std::string out = "'";
  for (const char c : text) {
    out += c == '\'' ? "''" : std::string(1, c);
  }
  return out + "'";
}

std::string yaml_float(double value) {
  if (std::isnan(value)) {
    return ".nan";
  }
  if (std::isinf(value)) {
    return value > 0 ? ".inf" : "-.inf";
  }
  std::string text = python_float(value);
  if (text.find('.') == std::string::npos && text.find('e') != std::string::npos) {
    text.insert(text.find('e'), ".0");
  }
  return text;
}

// One node of the nested dump: a value (scalar or list lines) or a mapping.
struct YamlNode {
  std::string scalar;              // inline value, when not a block list or mapping
  std::vector<std::string> items;  // block list items
  bool is_list = false;
  std::map<std::string, std::unique_ptr<YamlNode>> children;
};

template <class T, class F>
void set_list(YamlNode& node, const std::vector<T>& values, F text_of) {
  if (values.empty()) {
    node.scalar = "[]";
    return;
  }
  node.is_list = true;
  for (const auto& v : values) {
    node.items.push_back(text_of(v));
  }
}

void set_value(YamlNode& node, const std::optional<ParameterValue>& maybe_value) {
  if (!maybe_value) {
    node.scalar = yaml_string("# Parameter not set");
    return;
  }
  const ParameterValue& value = *maybe_value;
  const auto integer = [](int64_t v) { return std::to_string(v); };
  switch (value.type) {
    case ParameterType::PARAMETER_BOOL:
      node.scalar = value.bool_value ? "true" : "false";
      break;
    case ParameterType::PARAMETER_INTEGER:
      node.scalar = integer(value.integer_value);
      break;
    case ParameterType::PARAMETER_DOUBLE:
      node.scalar = yaml_float(value.double_value);
      break;
    case ParameterType::PARAMETER_STRING:
      node.scalar = yaml_string(value.string_value);
      break;
    case ParameterType::PARAMETER_BYTE_ARRAY:
      set_list(node, value.byte_array_value, [](uint8_t v) { return std::to_string(v); });
      break;
    case ParameterType::PARAMETER_BOOL_ARRAY:
      set_list(node, value.bool_array_value,
               [](bool v) { return std::string(v ? "true" : "false"); });
      break;
    case ParameterType::PARAMETER_INTEGER_ARRAY:
      set_list(node, value.integer_array_value, integer);
      break;
    case ParameterType::PARAMETER_DOUBLE_ARRAY:
      set_list(node, value.double_array_value, yaml_float);
      break;
    case ParameterType::PARAMETER_STRING_ARRAY:
      set_list(node, value.string_array_value, yaml_string);
      break;
    default:
      node.scalar = "null";
  }
}

void write_yaml(const YamlNode& node, const std::string& indent, std::string& out) {
  for (const auto& [key, child] : node.children) {
    out += indent + yaml_string(key) + ":";
    if (!child->children.empty()) {
      out += "\n";
      write_yaml(*child, indent + "  ", out);
    } else if (child->is_list) {
      out += "\n";
      for (const auto& item : child->items) {
        out += indent + "- " + item + "\n";
      }
    } else {
      out += " " + child->scalar + "\n";
    }
  }
}

}  // namespace

ParameterValue value_from_text(const std::string& text) {
  ParameterValue value;
  const std::string document = trimmed(text);
  if (const auto items = flow_sequence(document)) {
    if (all_of_type<bool>(*items)) {
      value.type = ParameterType::PARAMETER_BOOL_ARRAY;
      value.bool_array_value = all_as<bool>(*items);
    } else if (all_of_type<int64_t>(*items)) {
      value.type = ParameterType::PARAMETER_INTEGER_ARRAY;
      value.integer_array_value = all_as<int64_t>(*items);
    } else if (all_of_type<double>(*items)) {
      value.type = ParameterType::PARAMETER_DOUBLE_ARRAY;
      value.double_array_value = all_as<double>(*items);
    } else if (all_of_type<std::string>(*items)) {
      value.type = ParameterType::PARAMETER_STRING_ARRAY;
      value.string_array_value = all_as<std::string>(*items);
    } else {
      value.type = ParameterType::PARAMETER_STRING;
      value.string_value = text;
    }
    return value;
  }
  const Scalar scalar = resolve(document);
  if (const bool* b = std::get_if<bool>(&scalar)) {
    value.type = ParameterType::PARAMETER_BOOL;
    value.bool_value = *b;
  } else if (const int64_t* i = std::get_if<int64_t>(&scalar)) {
    value.type = ParameterType::PARAMETER_INTEGER;
    value.integer_value = *i;
  } else if (const double* d = std::get_if<double>(&scalar)) {
    value.type = ParameterType::PARAMETER_DOUBLE;
    value.double_value = *d;
  } else if (const std::string* s = std::get_if<std::string>(&scalar)) {
    value.type = ParameterType::PARAMETER_STRING;
    value.string_value = *s;
  } else {
    // An empty or null document: the text itself rather than nothing.
    value.type = ParameterType::PARAMETER_STRING;
    value.string_value = text;
  }
  return value;
}

std::string python_float(double value) {
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value > 0 ? "inf" : "-inf";
  }
  // Shortest round-trip digits, then Python's choice between fixed and exponent form.
  char buffer[64];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::scientific);
  std::string scientific(buffer, error == std::errc() ? end : buffer);
  const size_t e = scientific.find('e');
  std::string mantissa = scientific.substr(0, e);
  const int exponent = std::stoi(scientific.substr(e + 1));
  const bool negative = mantissa[0] == '-';
  if (negative) {
    mantissa.erase(0, 1);
  }
  std::string digits;
  for (const char c : mantissa) {
    if (c != '.') {
      digits += c;
    }
  }
  const int decimal_point = exponent + 1;  // digits before the point
  std::string out;
  if (decimal_point <= -4 || decimal_point > 16) {
    out = digits.substr(0, 1);
    if (digits.size() > 1) {
      out += "." + digits.substr(1);
    }
    char exp[16];
    std::snprintf(exp, sizeof(exp), "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    out += exp;
  } else if (decimal_point <= 0) {
    out = "0." + std::string(static_cast<size_t>(-decimal_point), '0') + digits;
  } else if (static_cast<size_t>(decimal_point) >= digits.size()) {
    out = digits + std::string(static_cast<size_t>(decimal_point) - digits.size(), '0') + ".0";
  } else {
    out = digits.substr(0, static_cast<size_t>(decimal_point)) + "." +
          digits.substr(static_cast<size_t>(decimal_point));
  }
  return (negative ? "-" : "") + out;
}

std::string get_text(const ParameterValue& value, bool hide_type) {
  std::string label;
  std::string text;
  switch (value.type) {
    case ParameterType::PARAMETER_BOOL:
      label = "Boolean value is:";
      text = python_bool(value.bool_value);
      break;
    case ParameterType::PARAMETER_INTEGER:
      label = "Integer value is:";
      text = std::to_string(value.integer_value);
      break;
    case ParameterType::PARAMETER_DOUBLE:
      label = "Double value is:";
      text = python_float(value.double_value);
      break;
    case ParameterType::PARAMETER_STRING:
      label = "String value is:";
      text = value.string_value;
      break;
    case ParameterType::PARAMETER_BYTE_ARRAY:
      label = "Byte values are:";
      text = "[" + joined(value.byte_array_value, python_bytes_repr) + "]";
      break;
    case ParameterType::PARAMETER_BOOL_ARRAY:
      label = "Boolean values are:";
      text = "[" + joined(value.bool_array_value, python_bool) + "]";
      break;
    case ParameterType::PARAMETER_INTEGER_ARRAY:
      label = "Integer values are:";
      text = value.integer_array_value.empty()
                 ? "array('q')"
                 : "array('q', [" + joined(value.integer_array_value, [](int64_t v) {
                     return std::to_string(v);
                   }) + "])";
      break;
    case ParameterType::PARAMETER_DOUBLE_ARRAY:
      label = "Double values are:";
      text = value.double_array_value.empty()
                 ? "array('d')"
                 : "array('d', [" + joined(value.double_array_value, python_float) + "])";
      break;
    case ParameterType::PARAMETER_STRING_ARRAY:
      label = "String values are:";
      text = "[" + joined(value.string_array_value, python_str_repr) + "]";
      break;
    default:
      return hide_type ? "None" : "Parameter not set.";
  }
  return hide_type ? text : label + " " + text;
}

std::string type_text(uint8_t type) {
  static const char* const names[] = {
      "not set",    "boolean",       "integer",       "double",       "string",
      "byte array", "boolean array", "integer array", "double array", "string array"};
  return type < std::size(names) ? names[type] : "unknown";
}

std::string describe_text(const rcl_interfaces::msg::ParameterDescriptor& descriptor) {
  std::string out = "Parameter name: " + descriptor.name + "\n";
  out += "  Type: " + type_text(descriptor.type) + "\n";
  if (!descriptor.description.empty()) {
    out += "  Description: " + descriptor.description + "\n";
  }
  out += "  Constraints:\n";
  if (descriptor.read_only) {
    out += "    Read only: true\n";
  }
  if (!descriptor.floating_point_range.empty()) {
    const auto& range = descriptor.floating_point_range[0];
    out += "    Min value: " + python_float(range.from_value) + "\n";
    out += "    Max value: " + python_float(range.to_value) + "\n";
    if (range.step != 0.0) {
      out += "    Step: " + python_float(range.step) + "\n";
    }
  } else if (!descriptor.integer_range.empty()) {
    const auto& range = descriptor.integer_range[0];
    out += "    Min value: " + std::to_string(range.from_value) + "\n";
    out += "    Max value: " + std::to_string(range.to_value) + "\n";
    if (range.step != 0) {
      out += "    Step: " + std::to_string(range.step) + "\n";
    }
  }
  if (!descriptor.additional_constraints.empty()) {
    out += "    Additional constraints: " + descriptor.additional_constraints + "\n";
  }
  return out;
}

std::string dump_yaml(
    const std::string& node_name,
    const std::vector<std::pair<std::string, std::optional<ParameterValue>>>& parameters) {
  YamlNode root;
  auto& node = root.children[node_name];
  node = std::make_unique<YamlNode>();
  auto& ros_parameters = node->children["ros__parameters"];
  ros_parameters = std::make_unique<YamlNode>();
  for (const auto& [name, value] : parameters) {
    YamlNode* at = ros_parameters.get();
    size_t start = 0;
    for (size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', start)) {
      auto& child = at->children[name.substr(start, dot - start)];
      if (!child) {
        child = std::make_unique<YamlNode>();
      }
      at = child.get();
      start = dot + 1;
    }
    auto& leaf = at->children[name.substr(start)];
    leaf = std::make_unique<YamlNode>();
    set_value(*leaf, value);
  }
  std::string out;
  write_yaml(root, "", out);
  // An empty mapping is written inline, as PyYAML does.
  if (parameters.empty()) {
    out = yaml_string(node_name) + ":\n  ros__parameters: {}\n";
  }
  return out;
}

}  // namespace ros2_lite
