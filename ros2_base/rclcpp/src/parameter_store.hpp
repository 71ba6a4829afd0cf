#ifndef RCLCPP_DDS__PARAMETER_STORE_HPP_
#define RCLCPP_DDS__PARAMETER_STORE_HPP_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "rcl_interfaces/msg/list_parameters_result.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/parameter_event.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/parameter.hpp"
#include "rclcpp/parameter_value.hpp"

namespace rclcpp_dds {

// A node's declared parameters, seeded with the overrides that apply to it. Undeclared
// parameters are never allowed, as with rclcpp's default node options.
class ParameterStore {
 public:
  explicit ParameterStore(std::map<std::string, rclcpp::ParameterValue> overrides);

  // Declares `name` with the override if there is one (unless ignore_override), else the
  // default. Unless the descriptor asks for dynamic typing the type is fixed by the default.
  // Throws InvalidParametersException (empty name), ParameterAlreadyDeclaredException and
  // InvalidParameterTypeException (no type, or an override of another type). A parameter that
  // got a value is added to the event's new_parameters, if there is an event.
  const rclcpp::ParameterValue& declare(const std::string& name,
                                        const rclcpp::ParameterValue& default_value,
                                        const rcl_interfaces::msg::ParameterDescriptor& descriptor,
                                        bool ignore_override,
                                        rcl_interfaces::msg::ParameterEvent* event = nullptr);

  // nullptr when not declared.
  const rclcpp::ParameterValue* find(const std::string& name) const;

  // All or nothing, with rclcpp's checks and reasons in rclcpp's order: read-only, then type
  // and range per parameter. Throws ParameterNotDeclaredException for an undeclared name. On
  // success the changed and deleted parameters are added to the event.
  rcl_interfaces::msg::SetParametersResult set_atomically(
      const std::vector<rclcpp::Parameter>& parameters,
      rcl_interfaces::msg::ParameterEvent* event = nullptr);

  // Each throws ParameterNotDeclaredException naming the first undeclared name.
  std::vector<rclcpp::Parameter> get(const std::vector<std::string>& names) const;
  std::vector<uint8_t> types(const std::vector<std::string>& names) const;
  std::vector<rcl_interfaces::msg::ParameterDescriptor> describe(
      const std::vector<std::string>& names) const;

  // Names in order, filtered by prefixes and depth ('.'-separated) as rclcpp lists them.
  rcl_interfaces::msg::ListParametersResult list(const std::vector<std::string>& prefixes,
                                                 uint64_t depth) const;

 private:
  struct Entry {
    rcl_interfaces::msg::ParameterDescriptor descriptor;
    rclcpp::ParameterValue value;
  };

  const Entry& declared(const std::string& name) const;

  std::map<std::string, rclcpp::ParameterValue> overrides_;
  std::map<std::string, Entry> parameters_;
};

}  // namespace rclcpp_dds

#endif  // RCLCPP_DDS__PARAMETER_STORE_HPP_
