#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/parameter_type.hpp"
#include "rcl_interfaces/msg/parameter_value.hpp"

namespace ros2_lite {

// The value `ros2 param set` sends for a command-line text: typed as YAML 1.1 types a
// scalar or a flow sequence of scalars (true/yes/on, 4, 4.0, .inf, [1, 2]); anything
// else, including a mixed sequence, is sent as the text itself.
rcl_interfaces::msg::ParameterValue value_from_text(const std::string& text);

// What `ros2 param get` prints for a value ("Double value is: 1.0"), or just the value
// with hide_type.
std::string get_text(const rcl_interfaces::msg::ParameterValue& value, bool hide_type);

// "boolean", "integer array", "not set", ...
std::string type_text(uint8_t type);

// The block `ros2 param describe` prints for one parameter.
std::string describe_text(const rcl_interfaces::msg::ParameterDescriptor& descriptor);

}  // namespace ros2_lite
