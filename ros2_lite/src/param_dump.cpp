#include "param_dump.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <variant>

#include "python_text.hpp"
#include "rcl_interfaces/msg/parameter_type.hpp"
#include "yaml_emit.hpp"

namespace ros2_lite {
namespace {

using rcl_interfaces::msg::ParameterType;
using rcl_interfaces::msg::ParameterValue;

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

// A scalar as written: a str is laid out where it lands, anything else is its text.
struct Written {
  std::string text;
  bool is_str = false;

  std::string at(size_t column, size_t indent) const {
    return is_str ? emit_str(text, column, indent, false) : " " + text;
  }
};

// One node of the nested dump: a value (scalar or list lines) or a mapping.
struct YamlNode {
  Written scalar;              // inline value, when not a block list or mapping
  std::vector<Written> items;  // block list items
  bool is_list = false;
  std::map<std::string, std::unique_ptr<YamlNode>> children;
};

Written str(const std::string& text) { return {text, true}; }
Written other(std::string text) { return {std::move(text), false}; }

template <class T, class F>
void set_list(YamlNode& node, const std::vector<T>& values, F text_of) {
  if (values.empty()) {
    node.scalar = other("[]");
    return;
  }
  node.is_list = true;
  for (const auto& v : values) {
    node.items.push_back(text_of(v));
  }
}

void set_value(YamlNode& node, const std::optional<ParameterValue>& maybe_value) {
  if (!maybe_value) {
    node.scalar = str("# Parameter not set");
    return;
  }
  const ParameterValue& value = *maybe_value;
  const auto integer = [](int64_t v) { return other(std::to_string(v)); };
  switch (value.type) {
    case ParameterType::PARAMETER_BOOL:
      node.scalar = other(value.bool_value ? "true" : "false");
      break;
    case ParameterType::PARAMETER_INTEGER:
      node.scalar = integer(value.integer_value);
      break;
    case ParameterType::PARAMETER_DOUBLE:
      node.scalar = other(yaml_float(value.double_value));
      break;
    case ParameterType::PARAMETER_STRING:
      node.scalar = str(value.string_value);
      break;
    case ParameterType::PARAMETER_BYTE_ARRAY:
      set_list(node, value.byte_array_value, [](uint8_t v) { return other(std::to_string(v)); });
      break;
    case ParameterType::PARAMETER_BOOL_ARRAY:
      set_list(node, value.bool_array_value, [](bool v) { return other(v ? "true" : "false"); });
      break;
    case ParameterType::PARAMETER_INTEGER_ARRAY:
      set_list(node, value.integer_array_value, integer);
      break;
    case ParameterType::PARAMETER_DOUBLE_ARRAY:
      set_list(node, value.double_array_value, [](double v) { return other(yaml_float(v)); });
      break;
    case ParameterType::PARAMETER_STRING_ARRAY:
      set_list(node, value.string_array_value, str);
      break;
    default:
      node.scalar = other("null");
  }
}

void write_yaml(const YamlNode& node, const std::string& indent, std::string& out) {
  for (const auto& [key, child] : node.children) {
    const std::string key_text = emit_str(key, indent.size(), indent.size(), true);
    out += indent + key_text + ":";
    if (!child->children.empty()) {
      out += "\n";
      write_yaml(*child, indent + "  ", out);
    } else if (child->is_list) {
      out += "\n";
      for (const auto& item : child->items) {
        out += indent + "-" + item.at(indent.size() + 1, indent.size() + 2) + "\n";
      }
    } else {
      out += child->scalar.at(indent.size() + key_text.size() + 1, indent.size() + 2) + "\n";
    }
  }
}

}  // namespace

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
    out = emit_str(node_name, 0, 0, true) + ":\n  ros__parameters: {}\n";
  }
  return out;
}

}  // namespace ros2_lite
