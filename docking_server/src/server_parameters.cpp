#include "docking_server/server_parameters.hpp"

#include <cmath>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace docking_server {

namespace {

using rcl_interfaces::msg::ParameterDescriptor;

ParameterDescriptor described(const std::string& description) {
  ParameterDescriptor d;
  d.description = description;
  d.read_only = true;  // read once at start-up: a later set would change nothing
  return d;
}

// The range in words, for the start-up error.
std::string range_text(const ParameterDescriptor& d) {
  std::ostringstream s;
  if (d.integer_range.empty() && d.floating_point_range.empty()) {
    s << "true or false";
  } else if (!d.integer_range.empty()) {
    s << "a whole number from " << d.integer_range[0].from_value << " to "
      << d.integer_range[0].to_value;
  } else {
    s << "a number from " << d.floating_point_range[0].from_value << " to "
      << d.floating_point_range[0].to_value;
  }
  return s.str();
}

template <typename T>
T declare(rclcpp::Node& node, const std::string& name, T default_value,
          const ParameterDescriptor& descriptor) {
  T value;
  try {
    value = node.declare_parameter<T>(name, default_value, descriptor);
  } catch (const std::exception& e) {
    throw std::runtime_error(std::string(e.what()) + " (" + name + ": " + descriptor.description +
                             ", " + range_text(descriptor) + ")");
  }
  // A range lets NaN through.
  if constexpr (std::is_floating_point_v<T>) {
    if (!std::isfinite(value)) {
      throw std::runtime_error("parameter '" + name + "' must be " + range_text(descriptor) +
                               ", got " + std::to_string(value));
    }
  }
  return value;
}

// The descriptor's ranges for values of a type.
decltype(ParameterDescriptor::integer_range)& ranges(ParameterDescriptor& d, int64_t) {
  return d.integer_range;
}
decltype(ParameterDescriptor::floating_point_range)& ranges(ParameterDescriptor& d, double) {
  return d.floating_point_range;
}

// A descriptor with its range: whole numbers in steps of 1, or any number between.
template <typename T>
ParameterDescriptor ranged(const std::string& description, T from, T to) {
  ParameterDescriptor d = described(description);
  auto& range = ranges(d, from);
  range.resize(1);
  range[0].from_value = from;
  range[0].to_value = to;
  range[0].step = std::is_integral_v<T> ? 1 : 0;
  return d;
}

}  // namespace

ServerParameters declare_parameters(rclcpp::Node& node) {
  ServerParameters p;
  p.max_attempts = static_cast<int>(declare<int64_t>(
      node, "max_attempts", p.max_attempts,
      ranged<int64_t>("docking attempts at most for a goal that names none", 1, kMaxAttempts)));
  p.staging_distance = declare<double>(
      node, "staging_distance", p.staging_distance,
      ranged<double>(
          "m from the station where a later attempt starts and an undock ends, for a goal "
          "that names none",
          kMinStagingDistance, kMaxStagingDistance));
  p.backoff_speed =
      declare<double>(node, "backoff_speed", p.backoff_speed,
                      ranged<double>("m/s forward while backing off and undocking", 0.02, 0.2));
  p.attempt_timeout =
      declare<double>(node, "attempt_timeout", p.attempt_timeout,
                      ranged<double>("s to wait for each result of align_controller", 1.0, 3600.0));
  p.controller_timeout = declare<double>(
      node, "controller_timeout", p.controller_timeout,
      ranged<double>("s to wait for align_controller to be discovered before a goal is aborted",
                     0.0, 600.0));
  // Below 0.2 s a camera at 10 Hz, one sample dropped, would stop the attempt.
  p.perception_timeout = declare<double>(
      node, "perception_timeout", p.perception_timeout,
      ranged<double>("s without a change in the camera pose, while an attempt drives, before the "
                     "robot is stopped and align_controller's retry check asked",
                     0.2, 10.0));
  p.stage_first = declare<bool>(
      node, "stage_first", p.stage_first,
      described("before the first attempt, drive a robot that stands closer than the staging "
                "distance or more than 0.2 m off the station's axis out onto the axis first"));
  return p;
}

}  // namespace docking_server
