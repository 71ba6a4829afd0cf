#ifndef RCLCPP__PARAMETER_HPP_
#define RCLCPP__PARAMETER_HPP_

#include <cstdint>
#include <string>
#include <utility>

#include "rcl_interfaces/msg/parameter.hpp"
#include "rclcpp/parameter_value.hpp"

namespace rclcpp {

class Parameter {
 public:
  Parameter() = default;
  explicit Parameter(const std::string& name) : name_(name) {}
  Parameter(const std::string& name, const ParameterValue& value) : name_(name), value_(value) {}
  template <typename ValueT>
  Parameter(const std::string& name, ValueT value) : Parameter(name, ParameterValue(value)) {}

  const std::string& get_name() const { return name_; }
  ParameterType get_type() const { return value_.get_type(); }
  std::string get_type_name() const { return to_string(get_type()); }
  const ParameterValue& get_parameter_value() const { return value_; }

  template <typename T>
  decltype(auto) get_value() const {
    return value_.get<T>();
  }

  bool as_bool() const { return get_value<bool>(); }
  int64_t as_int() const { return get_value<int64_t>(); }
  double as_double() const { return get_value<double>(); }
  const std::string& as_string() const { return get_value<std::string>(); }

  std::string value_to_string() const { return to_string(value_); }

  static Parameter from_parameter_msg(const rcl_interfaces::msg::Parameter& parameter) {
    return Parameter(parameter.name, ParameterValue(parameter.value));
  }
  rcl_interfaces::msg::Parameter to_parameter_msg() const {
    rcl_interfaces::msg::Parameter parameter;
    parameter.name = name_;
    parameter.value = value_.to_value_msg();
    return parameter;
  }

  bool operator==(const Parameter& rhs) const { return name_ == rhs.name_ && value_ == rhs.value_; }
  bool operator!=(const Parameter& rhs) const { return !(*this == rhs); }

 private:
  std::string name_;
  ParameterValue value_;
};

}  // namespace rclcpp

#endif  // RCLCPP__PARAMETER_HPP_
