#ifndef RCLCPP_DDS__PARAMETER_YAML_HPP_
#define RCLCPP_DDS__PARAMETER_YAML_HPP_

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>

#include "rclcpp/parameter_value.hpp"

namespace rclcpp_dds {

// A value or file that is no valid parameter source; the message says what and where.
struct ParameterYamlError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Bounds on a parameter file, so that no file can hold start-up for long: its size and the
// parameters it gives. Aliases, which could name a value many times over, are refused.
constexpr size_t kMaxParameterFileBytes = 1 << 20;
constexpr size_t kMaxParametersPerFile = 10000;

// The value of a `-p name:=value` rule: "4", "4.0", "'text'", "[1, 2]", ...
rclcpp::ParameterValue parse_parameter_value(const std::string& text);

using ParameterSink = std::function<void(const std::string& node_key, const std::string& name,
                                         rclcpp::ParameterValue value)>;

// Hands every parameter of a file in the ROS 2 layout to `sink`, in file order; nested maps
// under `ros__parameters` give names joined with '.'. A file beyond the bounds above is
// rejected.
void read_parameter_file(const std::string& path, const ParameterSink& sink);

}  // namespace rclcpp_dds

#endif  // RCLCPP_DDS__PARAMETER_YAML_HPP_
