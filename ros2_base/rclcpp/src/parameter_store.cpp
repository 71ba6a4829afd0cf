#include "parameter_store.hpp"

#include <utility>

#include "rclcpp/exceptions.hpp"

namespace rclcpp_dds {

ParameterStore::ParameterStore(std::map<std::string, rclcpp::ParameterValue> overrides)
    : overrides_(std::move(overrides)) {}

const rclcpp::ParameterValue& ParameterStore::declare(
    const std::string& name, const rclcpp::ParameterValue& default_value,
    const rcl_interfaces::msg::ParameterDescriptor& descriptor, bool ignore_override) {
  if (name.empty()) {
    throw rclcpp::exceptions::InvalidParametersException("parameter name must not be empty");
  }
  if (parameters_.count(name) != 0) {
    throw rclcpp::exceptions::ParameterAlreadyDeclaredException("parameter '" + name +
                                                                "' has already been declared");
  }
  Entry entry{descriptor, default_value};
  entry.descriptor.name = name;
  if (!descriptor.dynamic_typing) {
    if (default_value.get_type() == rclcpp::PARAMETER_NOT_SET) {
      throw rclcpp::exceptions::InvalidParameterTypeException(
          name, "cannot declare a statically typed parameter with an uninitialized value");
    }
    entry.descriptor.type = default_value.get_type();
  }
  const auto override_ = overrides_.find(name);
  if (!ignore_override && override_ != overrides_.end()) {
    entry.value = override_->second;
  }
  const auto declared_type = static_cast<rclcpp::ParameterType>(entry.descriptor.type);
  if (!descriptor.dynamic_typing && entry.value.get_type() != declared_type) {
    throw rclcpp::exceptions::InvalidParameterTypeException(
        name, "Wrong parameter type, parameter {" + name + "} is of type {" +
                  rclcpp::to_string(declared_type) + "}, setting it to {" +
                  rclcpp::to_string(entry.value.get_type()) + "} is not allowed.");
  }
  return parameters_.emplace(name, std::move(entry)).first->second.value;
}

const rclcpp::ParameterValue* ParameterStore::find(const std::string& name) const {
  const auto it = parameters_.find(name);
  return it == parameters_.end() ? nullptr : &it->second.value;
}

}  // namespace rclcpp_dds
