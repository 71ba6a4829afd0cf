#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "rcl_interfaces/msg/parameter_value.hpp"

namespace ros2_lite {

// `ros2 param dump`: the node's parameters as a parameter file, nested on '.', keys
// sorted, as PyYAML's dump(default_flow_style=False) writes it. A parameter without a
// value (nullopt) reads "# Parameter not set".
std::string dump_yaml(
    const std::string& node_name,
    const std::vector<std::pair<std::string, std::optional<rcl_interfaces::msg::ParameterValue>>>&
        parameters);

}  // namespace ros2_lite
