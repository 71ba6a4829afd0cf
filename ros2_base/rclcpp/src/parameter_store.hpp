#ifndef RCLCPP_DDS__PARAMETER_STORE_HPP_
#define RCLCPP_DDS__PARAMETER_STORE_HPP_

#include <map>
#include <string>

#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rclcpp/parameter_value.hpp"

namespace rclcpp_dds {

// A node's declared parameters, seeded with the overrides that apply to it.
class ParameterStore {
 public:
  explicit ParameterStore(std::map<std::string, rclcpp::ParameterValue> overrides);

  // Declares `name` with the override if there is one (unless ignore_override), else the
  // default. Unless the descriptor asks for dynamic typing the type is fixed by the default.
  // Throws InvalidParametersException (empty name), ParameterAlreadyDeclaredException and
  // InvalidParameterTypeException (no type, or an override of another type).
  const rclcpp::ParameterValue& declare(const std::string& name,
                                        const rclcpp::ParameterValue& default_value,
                                        const rcl_interfaces::msg::ParameterDescriptor& descriptor,
                                        bool ignore_override);

  // nullptr when not declared.
  const rclcpp::ParameterValue* find(const std::string& name) const;

 private:
  struct Entry {
    rcl_interfaces::msg::ParameterDescriptor descriptor;
    rclcpp::ParameterValue value;
  };

  std::map<std::string, rclcpp::ParameterValue> overrides_;
  std::map<std::string, Entry> parameters_;
};

}  // namespace rclcpp_dds

#endif  // RCLCPP_DDS__PARAMETER_STORE_HPP_
