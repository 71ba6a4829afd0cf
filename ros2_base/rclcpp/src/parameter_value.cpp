#include "rclcpp/parameter_value.hpp"

#include <sstream>

namespace rclcpp {

namespace {

template <typename T>
std::string array_to_string(const std::vector<T>& values) {
  std::ostringstream out;
  out << std::boolalpha << "[";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) {
      out << ", ";
    }
    if constexpr (std::is_same_v<T, uint8_t>) {
      out << static_cast<int>(values[i]);
    } else {
      out << values[i];
    }
  }
  out << "]";
  return out.str();
}

}  // namespace

std::string to_string(ParameterType type) {
  switch (type) {
    case PARAMETER_NOT_SET:
      return "not set";
    case PARAMETER_BOOL:
      return "bool";
    case PARAMETER_INTEGER:
      return "integer";
    case PARAMETER_DOUBLE:
      return "double";
    case PARAMETER_STRING:
      return "string";
    case PARAMETER_BYTE_ARRAY:
      return "byte_array";
    case PARAMETER_BOOL_ARRAY:
      return "bool_array";
    case PARAMETER_INTEGER_ARRAY:
      return "integer_array";
    case PARAMETER_DOUBLE_ARRAY:
      return "double_array";
    case PARAMETER_STRING_ARRAY:
      return "string_array";
  }
  return "unknown type";
}

std::ostream& operator<<(std::ostream& os, ParameterType type) { return os << to_string(type); }

ParameterTypeException::ParameterTypeException(ParameterType expected, ParameterType actual)
    : std::runtime_error("expected [" + to_string(expected) + "] got [" + to_string(actual) + "]") {
}

ParameterValue::ParameterValue(bool bool_value) : value_(bool_value) {}
ParameterValue::ParameterValue(int int_value) : value_(static_cast<int64_t>(int_value)) {}
ParameterValue::ParameterValue(int64_t int_value) : value_(int_value) {}
ParameterValue::ParameterValue(float double_value) : value_(static_cast<double>(double_value)) {}
ParameterValue::ParameterValue(double double_value) : value_(double_value) {}
ParameterValue::ParameterValue(const std::string& string_value) : value_(string_value) {}
ParameterValue::ParameterValue(const char* string_value) : value_(std::string(string_value)) {}
ParameterValue::ParameterValue(const std::vector<uint8_t>& byte_array_value)
    : value_(byte_array_value) {}
ParameterValue::ParameterValue(const std::vector<bool>& bool_array_value)
    : value_(bool_array_value) {}
ParameterValue::ParameterValue(const std::vector<int>& int_array_value)
    : value_(std::vector<int64_t>(int_array_value.begin(), int_array_value.end())) {}
ParameterValue::ParameterValue(const std::vector<int64_t>& int_array_value)
    : value_(int_array_value) {}
ParameterValue::ParameterValue(const std::vector<float>& double_array_value)
    : value_(std::vector<double>(double_array_value.begin(), double_array_value.end())) {}
ParameterValue::ParameterValue(const std::vector<double>& double_array_value)
    : value_(double_array_value) {}
ParameterValue::ParameterValue(const std::vector<std::string>& string_array_value)
    : value_(string_array_value) {}

ParameterValue::ParameterValue(const rcl_interfaces::msg::ParameterValue& value) {
  switch (value.type) {
    case PARAMETER_NOT_SET:
      break;
    case PARAMETER_BOOL:
      value_ = value.bool_value;
      break;
    case PARAMETER_INTEGER:
      value_ = value.integer_value;
      break;
    case PARAMETER_DOUBLE:
      value_ = value.double_value;
      break;
    case PARAMETER_STRING:
      value_ = value.string_value;
      break;
    case PARAMETER_BYTE_ARRAY:
      value_ = value.byte_array_value;
      break;
    case PARAMETER_BOOL_ARRAY:
      value_ = value.bool_array_value;
      break;
    case PARAMETER_INTEGER_ARRAY:
      value_ = value.integer_array_value;
      break;
    case PARAMETER_DOUBLE_ARRAY:
      value_ = value.double_array_value;
      break;
    case PARAMETER_STRING_ARRAY:
      value_ = value.string_array_value;
      break;
    default:
      throw std::runtime_error("Unknown type: " + std::to_string(value.type));
  }
}

rcl_interfaces::msg::ParameterValue ParameterValue::to_value_msg() const {
  rcl_interfaces::msg::ParameterValue message;
  message.type = get_type();
  std::visit(
      [&message](const auto& held) {
        using V = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<V, bool>) {
          message.bool_value = held;
        } else if constexpr (std::is_same_v<V, int64_t>) {
          message.integer_value = held;
        } else if constexpr (std::is_same_v<V, double>) {
          message.double_value = held;
        } else if constexpr (std::is_same_v<V, std::string>) {
          message.string_value = held;
        } else if constexpr (std::is_same_v<V, std::vector<uint8_t>>) {
          message.byte_array_value = held;
        } else if constexpr (std::is_same_v<V, std::vector<bool>>) {
          message.bool_array_value = held;
        } else if constexpr (std::is_same_v<V, std::vector<int64_t>>) {
          message.integer_array_value = held;
        } else if constexpr (std::is_same_v<V, std::vector<double>>) {
          message.double_array_value = held;
        } else if constexpr (std::is_same_v<V, std::vector<std::string>>) {
          message.string_array_value = held;
        }
      },
      value_);
  return message;
}

ParameterType ParameterValue::get_type() const {
  return static_cast<ParameterType>(value_.index());
}

bool ParameterValue::operator==(const ParameterValue& rhs) const { return value_ == rhs.value_; }

bool ParameterValue::operator!=(const ParameterValue& rhs) const { return !(*this == rhs); }

std::string to_string(const ParameterValue& value) {
  switch (value.get_type()) {
    case PARAMETER_NOT_SET:
      return "not set";
    case PARAMETER_BOOL:
      return value.get<bool>() ? "true" : "false";
    case PARAMETER_INTEGER:
      return std::to_string(value.get<int64_t>());
    case PARAMETER_DOUBLE:
      return std::to_string(value.get<double>());
    case PARAMETER_STRING:
      return value.get<std::string>();
    case PARAMETER_BYTE_ARRAY:
      return array_to_string(value.get<std::vector<uint8_t>>());
    case PARAMETER_BOOL_ARRAY:
      return array_to_string(value.get<std::vector<bool>>());
    case PARAMETER_INTEGER_ARRAY:
      return array_to_string(value.get<std::vector<int64_t>>());
    case PARAMETER_DOUBLE_ARRAY:
      return array_to_string(value.get<std::vector<double>>());
    case PARAMETER_STRING_ARRAY:
      return array_to_string(value.get<std::vector<std::string>>());
  }
  return "unknown type";
}

}  // namespace rclcpp
