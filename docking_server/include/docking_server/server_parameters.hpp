#pragma once

#include <rclcpp/rclcpp.hpp>

#include "docking_server/goal_limits.hpp"

namespace docking_server {

// The server's parameters, read once at start-up.
struct ServerParameters {
  int max_attempts = 3;
  double staging_distance = 1.5;     // m
  double backoff_speed = 0.1;        // m/s
  double attempt_timeout = 90.0;     // s for each result of align_controller
  double controller_timeout = 10.0;  // s for align_controller to be discovered
  double perception_timeout = 1.0;   // s of an unchanged camera pose before an attempt is paused
  bool stage_first = false;          // a poor start is driven onto the axis before attempt 1
};

// Declares the parameters with their descriptions and ranges and reads them.
// A value of the wrong type, out of its range or not finite throws
// std::runtime_error whose text names the parameter and what it takes.
ServerParameters declare_parameters(rclcpp::Node& node);

}  // namespace docking_server
