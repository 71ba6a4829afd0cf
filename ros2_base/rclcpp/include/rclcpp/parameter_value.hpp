#ifndef RCLCPP__PARAMETER_VALUE_HPP_
#define RCLCPP__PARAMETER_VALUE_HPP_

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "rcl_interfaces/msg/parameter_value.hpp"

namespace rclcpp {

// Values match rcl_interfaces/msg/ParameterType.
enum ParameterType : uint8_t {
  PARAMETER_NOT_SET = 0,
  PARAMETER_BOOL = 1,
  PARAMETER_INTEGER = 2,
  PARAMETER_DOUBLE = 3,
  PARAMETER_STRING = 4,
  PARAMETER_BYTE_ARRAY = 5,
  PARAMETER_BOOL_ARRAY = 6,
  PARAMETER_INTEGER_ARRAY = 7,
  PARAMETER_DOUBLE_ARRAY = 8,
  PARAMETER_STRING_ARRAY = 9,
};

std::string to_string(ParameterType type);
std::ostream& operator<<(std::ostream& os, ParameterType type);

// Thrown by ParameterValue::get<T>() when the held type is not T.
class ParameterTypeException : public std::runtime_error {
 public:
  ParameterTypeException(ParameterType expected, ParameterType actual);
};

class ParameterValue {
 public:
  ParameterValue() = default;
  // Reads the field the message's type names; an unknown type throws std::runtime_error.
  explicit ParameterValue(const rcl_interfaces::msg::ParameterValue& value);
  explicit ParameterValue(bool bool_value);
  explicit ParameterValue(int int_value);
  explicit ParameterValue(int64_t int_value);
  explicit ParameterValue(float double_value);
  explicit ParameterValue(double double_value);
  explicit ParameterValue(const std::string& string_value);
  explicit ParameterValue(const char* string_value);
  explicit ParameterValue(const std::vector<uint8_t>& byte_array_value);
  explicit ParameterValue(const std::vector<bool>& bool_array_value);
  explicit ParameterValue(const std::vector<int>& int_array_value);
  explicit ParameterValue(const std::vector<int64_t>& int_array_value);
  explicit ParameterValue(const std::vector<float>& double_array_value);
  explicit ParameterValue(const std::vector<double>& double_array_value);
  explicit ParameterValue(const std::vector<std::string>& string_array_value);

  ParameterType get_type() const;
  // Only the field of the held type is filled, as rclcpp does.
  rcl_interfaces::msg::ParameterValue to_value_msg() const;

  // Same overload set as rclcpp: every integral type reads the int64 value, every floating
  // point type the double value; a mismatch throws ParameterTypeException.
  template <typename T>
  decltype(auto) get() const {
    if constexpr (std::is_same_v<T, bool>) {
      return held<bool>(PARAMETER_BOOL);
    } else if constexpr (std::is_integral_v<T>) {
      return held<int64_t>(PARAMETER_INTEGER);
    } else if constexpr (std::is_floating_point_v<T>) {
      return held<double>(PARAMETER_DOUBLE);
    } else if constexpr (std::is_convertible_v<T, std::string>) {
      return held<std::string>(PARAMETER_STRING);
    } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
      return held<std::vector<uint8_t>>(PARAMETER_BYTE_ARRAY);
    } else if constexpr (std::is_same_v<T, std::vector<bool>>) {
      return held<std::vector<bool>>(PARAMETER_BOOL_ARRAY);
    } else if constexpr (std::is_same_v<T, std::vector<int64_t>>) {
      return held<std::vector<int64_t>>(PARAMETER_INTEGER_ARRAY);
    } else if constexpr (std::is_same_v<T, std::vector<double>>) {
      return held<std::vector<double>>(PARAMETER_DOUBLE_ARRAY);
    } else {
      static_assert(std::is_same_v<T, std::vector<std::string>>, "unsupported parameter type");
      return held<std::vector<std::string>>(PARAMETER_STRING_ARRAY);
    }
  }

  bool operator==(const ParameterValue& rhs) const;
  bool operator!=(const ParameterValue& rhs) const;

 private:
  template <typename V>
  const V& held(ParameterType expected) const {
    if (get_type() != expected) {
      throw ParameterTypeException(expected, get_type());
    }
    return std::get<V>(value_);
  }

  // Alternatives in ParameterType order, so index() is the type.
  std::variant<std::monostate, bool, int64_t, double, std::string, std::vector<uint8_t>,
               std::vector<bool>, std::vector<int64_t>, std::vector<double>,
               std::vector<std::string>>
      value_;
};

// rclcpp's text of a value: "true", "42", "[1, 2]", "not set", ...
std::string to_string(const ParameterValue& value);

}  // namespace rclcpp

#endif  // RCLCPP__PARAMETER_VALUE_HPP_
