#include "parameter_store.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "rclcpp/exceptions.hpp"

namespace rclcpp_dds {
namespace {

using rcl_interfaces::msg::ParameterDescriptor;
using rcl_interfaces::msg::SetParametersResult;

SetParametersResult success() {
  SetParametersResult result;
  result.successful = true;
  return result;
}

SetParametersResult failure(std::string reason) {
  SetParametersResult result;
  result.successful = false;
  result.reason = std::move(reason);
  return result;
}

std::string type_reason(const std::string& name, rclcpp::ParameterType declared,
                        rclcpp::ParameterType given) {
  return "Wrong parameter type, parameter {" + name + "} is of type {" +
         rclcpp::to_string(declared) + "}, setting it to {" + rclcpp::to_string(given) +
         "} is not allowed.";
}

// rclcpp's comparison: equal within 100 ulp of the magnitude.
bool nearly_equal(double x, double y) {
  return std::abs(x - y) <= std::numeric_limits<double>::epsilon() * std::abs(x + y) * 100.0;
}

bool in_integer_range(const ParameterDescriptor& descriptor, int64_t v) {
  const auto& range = descriptor.integer_range.at(0);
  if (v == range.from_value || v == range.to_value) {
    return true;
  }
  if (v < range.from_value || v > range.to_value) {
    return false;
  }
  return range.step == 0 || (v - range.from_value) % static_cast<int64_t>(range.step) == 0;
}

bool in_floating_point_range(const ParameterDescriptor& descriptor, double v) {
  const auto& range = descriptor.floating_point_range.at(0);
  if (nearly_equal(v, range.from_value) || nearly_equal(v, range.to_value)) {
    return true;
  }
  if (v < range.from_value || v > range.to_value) {
    return false;
  }
  if (range.step == 0.0) {
    return true;
  }
  const double steps = std::round((v - range.from_value) / range.step);
  return nearly_equal(v, range.from_value + steps * range.step);
}

SetParametersResult check(const ParameterDescriptor& descriptor,
                          const rclcpp::Parameter& parameter) {
  const auto declared = static_cast<rclcpp::ParameterType>(descriptor.type);
  if (!descriptor.dynamic_typing && declared != parameter.get_type()) {
    return failure(type_reason(parameter.get_name(), declared, parameter.get_type()));
  }
  const auto& value = parameter.get_parameter_value();
  if (!descriptor.integer_range.empty() && value.get_type() == rclcpp::PARAMETER_INTEGER &&
      !in_integer_range(descriptor, value.get<int64_t>())) {
    return failure("Parameter {" + parameter.get_name() + "} doesn't comply with integer range.");
  }
  if (!descriptor.floating_point_range.empty() && value.get_type() == rclcpp::PARAMETER_DOUBLE &&
      !in_floating_point_range(descriptor, value.get<double>())) {
    return failure("Parameter {" + parameter.get_name() +
                   "} doesn't comply with floating point range.");
  }
  return success();
}

}  // namespace

ParameterStore::ParameterStore(std::map<std::string, rclcpp::ParameterValue> overrides)
    : overrides_(std::move(overrides)) {}

const rclcpp::ParameterValue& ParameterStore::declare(const std::string& name,
                                                      const rclcpp::ParameterValue& default_value,
                                                      const ParameterDescriptor& descriptor,
                                                      bool ignore_override,
                                                      rcl_interfaces::msg::ParameterEvent* event) {
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
        name, type_reason(name, declared_type, entry.value.get_type()));
  }
  // The initial value, the default or an override, keeps the descriptor's range as a set does.
  if (entry.value.get_type() != rclcpp::PARAMETER_NOT_SET) {
    const auto result = check(entry.descriptor, rclcpp::Parameter(name, entry.value));
    if (!result.successful) {
      throw rclcpp::exceptions::InvalidParameterValueException(
          "parameter '" + name + "' could not be set: " + result.reason);
    }
  }
  if (event != nullptr && entry.value.get_type() != rclcpp::PARAMETER_NOT_SET) {
    event->new_parameters.push_back(rclcpp::Parameter(name, entry.value).to_parameter_msg());
  }
  return parameters_.emplace(name, std::move(entry)).first->second.value;
}

const rclcpp::ParameterValue* ParameterStore::find(const std::string& name) const {
  const auto it = parameters_.find(name);
  return it == parameters_.end() ? nullptr : &it->second.value;
}

const ParameterStore::Entry& ParameterStore::declared(const std::string& name) const {
  const auto it = parameters_.find(name);
  if (it == parameters_.end()) {
    throw rclcpp::exceptions::ParameterNotDeclaredException(name);
  }
  return it->second;
}

SetParametersResult ParameterStore::set_atomically(const std::vector<rclcpp::Parameter>& parameters,
                                                   rcl_interfaces::msg::ParameterEvent* event) {
  for (const auto& parameter : parameters) {
    const std::string& name = parameter.get_name();
    if (name.empty()) {
      throw rclcpp::exceptions::InvalidParametersException("parameter name must not be empty");
    }
    const auto it = parameters_.find(name);
    if (it == parameters_.end()) {
      throw rclcpp::exceptions::ParameterNotDeclaredException(
          "parameter '" + name + "' cannot be set because it was not declared");
    }
    if (it->second.descriptor.read_only) {
      return failure("parameter '" + name + "' cannot be set because it is read-only");
    }
  }
  for (const auto& parameter : parameters) {
    const Entry& entry = parameters_.at(parameter.get_name());
    if (parameter.get_type() == rclcpp::PARAMETER_NOT_SET &&
        entry.value.get_type() != rclcpp::PARAMETER_NOT_SET && !entry.descriptor.dynamic_typing) {
      return failure("cannot undeclare an statically typed parameter");
    }
  }
  for (const auto& parameter : parameters) {
    SetParametersResult result = check(parameters_.at(parameter.get_name()).descriptor, parameter);
    if (!result.successful) {
      return result;
    }
  }
  rcl_interfaces::msg::ParameterEvent unused;
  rcl_interfaces::msg::ParameterEvent& changes = event != nullptr ? *event : unused;
  for (const auto& parameter : parameters) {
    const auto it = parameters_.find(parameter.get_name());
    if (it == parameters_.end()) {
      continue;  // named twice, undeclared by the first
    }
    if (parameter.get_type() == rclcpp::PARAMETER_NOT_SET &&
        it->second.value.get_type() != rclcpp::PARAMETER_NOT_SET) {
      changes.deleted_parameters.push_back(
          rclcpp::Parameter(it->first, it->second.value).to_parameter_msg());
      parameters_.erase(it);
      continue;
    }
    it->second.descriptor.type = parameter.get_type();
    it->second.value = parameter.get_parameter_value();
    changes.changed_parameters.push_back(parameter.to_parameter_msg());
  }
  return success();
}

std::vector<rclcpp::Parameter> ParameterStore::get(const std::vector<std::string>& names) const {
  std::vector<rclcpp::Parameter> result;
  result.reserve(names.size());
  for (const auto& name : names) {
    result.emplace_back(name, declared(name).value);
  }
  return result;
}

std::vector<uint8_t> ParameterStore::types(const std::vector<std::string>& names) const {
  std::vector<uint8_t> result;
  result.reserve(names.size());
  for (const auto& name : names) {
    result.push_back(declared(name).value.get_type());
  }
  return result;
}

std::vector<ParameterDescriptor> ParameterStore::describe(
    const std::vector<std::string>& names) const {
  std::vector<ParameterDescriptor> result;
  result.reserve(names.size());
  for (const auto& name : names) {
    result.push_back(declared(name).descriptor);
  }
  return result;
}

rcl_interfaces::msg::ListParametersResult ParameterStore::list(
    const std::vector<std::string>& prefixes, uint64_t depth) const {
  constexpr uint64_t recursive = 0;  // ListParameters::Request::DEPTH_RECURSIVE
  const auto separators = [](const std::string& text) {
    return static_cast<uint64_t>(std::count(text.begin(), text.end(), '.'));
  };
  rcl_interfaces::msg::ListParametersResult result;
  for (const auto& [name, entry] : parameters_) {
    const bool get_all = prefixes.empty() && (depth == recursive || separators(name) < depth);
    // rclcpp counts the separator right after the prefix too: depth 1 lists no child.
    const bool prefix_matches =
        std::any_of(prefixes.begin(), prefixes.end(), [&](const std::string& prefix) {
          if (name == prefix) {
            return true;
          }
          return name.rfind(prefix + ".", 0) == 0 &&
                 (depth == recursive || separators(name.substr(prefix.size())) < depth);
        });
    if (!get_all && !prefix_matches) {
      continue;
    }
    result.names.push_back(name);
    const size_t last = name.rfind('.');
    if (last != std::string::npos) {
      std::string prefix = name.substr(0, last);
      if (std::find(result.prefixes.begin(), result.prefixes.end(), prefix) ==
          result.prefixes.end()) {
        result.prefixes.push_back(std::move(prefix));
      }
    }
  }
  return result;
}

}  // namespace rclcpp_dds
