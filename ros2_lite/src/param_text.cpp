#include "param_text.hpp"

#include <algorithm>
#include <variant>

#include "python_text.hpp"
#include "yaml_document.hpp"

namespace ros2_lite {
namespace {

using rcl_interfaces::msg::ParameterType;
using rcl_interfaces::msg::ParameterValue;

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

}  // namespace

ParameterValue value_from_text(const std::string& text) {
  ParameterValue value;
  // What ros2 cannot type, or fails on, is sent as the text itself.
  value.type = ParameterType::PARAMETER_STRING;
  value.string_value = text;
  const auto node = safe_load(text);
  if (!node || node->pairs) {
    return value;
  }
  if (const auto& items = node->items) {
    std::vector<Scalar> values;
    for (const auto& item : *items) {
      if (item.items || item.pairs) {
        return value;
      }
      values.push_back(item.scalar);
    }
    // Python's bool is an int: [1, true] is an integer array.
    const bool all_integers = std::all_of(values.begin(), values.end(), [](const Scalar& v) {
      return std::holds_alternative<int64_t>(v) || std::holds_alternative<bool>(v);
    });
    if (all_of_type<bool>(values)) {
      value.type = ParameterType::PARAMETER_BOOL_ARRAY;
      value.bool_array_value = all_as<bool>(values);
    } else if (all_integers) {
      value.type = ParameterType::PARAMETER_INTEGER_ARRAY;
      for (const auto& v : values) {
        value.integer_array_value.push_back(std::holds_alternative<bool>(v) ? std::get<bool>(v)
                                                                            : std::get<int64_t>(v));
      }
    } else if (all_of_type<double>(values)) {
      value.type = ParameterType::PARAMETER_DOUBLE_ARRAY;
      value.double_array_value = all_as<double>(values);
    } else if (all_of_type<std::string>(values)) {
      value.type = ParameterType::PARAMETER_STRING_ARRAY;
      value.string_array_value = all_as<std::string>(values);
    }
    value.string_value = value.type == ParameterType::PARAMETER_STRING ? text : "";
    return value;
  }
  if (const bool* b = std::get_if<bool>(&node->scalar)) {
    value.type = ParameterType::PARAMETER_BOOL;
    value.bool_value = *b;
  } else if (const int64_t* i = std::get_if<int64_t>(&node->scalar)) {
    value.type = ParameterType::PARAMETER_INTEGER;
    value.integer_value = *i;
  } else if (const double* d = std::get_if<double>(&node->scalar)) {
    value.type = ParameterType::PARAMETER_DOUBLE;
    value.double_value = *d;
  } else if (const std::string* s = std::get_if<std::string>(&node->scalar)) {
    value.string_value = *s;
  }
  if (value.type != ParameterType::PARAMETER_STRING) {
    value.string_value.clear();
  }
  return value;
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

}  // namespace ros2_lite
