#include "node_parameters.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

const NodeParameter kNodeParameters[22] = {
    {"kp_u_", 3.0, "proportional gain of the u regulator, configured but not run (1)"},
    {"ki_u_", 0.0, "integral gain of the u regulator, configured but not run (1 per cycle)"},
    {"kd_u_", 0.0, "derivative gain of the u regulator, configured but not run (1)"},
    {"target_u_", 0.0, "set-point of the u regulator, held but not used (1)"},
    {"upper_u_", 0.1, "upper bound of the u regulator's output, configured but not run (1)"},
    {"lower_u_", -0.1, "lower bound of the u regulator's output, configured but not run (1)"},
    {"kp_w_", 1.0, "turn rate per lateral error in step 4 (rad/s per m)"},
    {"ki_w_", 0.0, "turn rate per lateral error summed over the cycles of step 4 (rad/s per m)"},
    {"kd_w_", 0.0,
     "turn rate per change of the lateral error from one cycle to the next "
     "(rad/s per m)"},
    {"target_w_", 0.0, "set-point of the lateral regulator, held but not used (m)"},
    {"upper_w_", 0.1, "largest turn rate from the lateral error (rad/s)"},
    {"lower_w_", 0.0, "smallest turn rate from the lateral error (rad/s)"},
    {"kp_angle_", 0.2, "turn rate per heading error in step 4 (rad/s per rad)"},
    {"ki_angle_", 0.04,
     "turn rate per heading error summed over the cycles of step 4 "
     "(rad/s per rad)"},
    {"kd_angle_", 0.0,
     "turn rate per change of the heading error from one cycle to the next "
     "(rad/s per rad)"},
    {"target_angle_", 0.0, "set-point of the heading regulator, held but not used (rad)"},
    {"upper_angle_", 0.2, "largest turn rate from the heading error (rad/s)"},
    {"lower_angle_", -0.2, "smallest turn rate from the heading error (rad/s)"},
    {"yMaxerror_threshold", 0.8,
     "largest lateral error tolerated within 0.6 m of the station; a larger one fails the "
     "attempt (m)"},
    {"thetaMaxerror_threshold", 0.5,
     "largest heading error tolerated within 0.6 m of the station; a larger one fails the "
     "attempt (rad)"},
    {"distance_wheel_to_feature", 0.25,
     "docked once the robot is closer than this to the station along its axis (m)"},
    {"trigger_mode", 3.0,
     "below 4.0 a request on /align_request starts a docking; 4.0 or above (or NaN) runs one "
     "docking by itself about 5 s after start (no unit)"},
};

namespace {

// Shortest text that reads back as the same double: "0.1", "-3", "nan", "-inf".
std::string number(double v) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  return std::string(text, end);
}

std::string must_be(const char* name) { return "parameter '" + std::string(name) + "' must be "; }

}  // namespace

std::optional<std::string> configuration_error(const std::map<std::string, double>& values) {
  // trigger_mode reads any value, NaN included, as a mode.
  for (const auto& parameter : kNodeParameters) {
    const double v = values.at(parameter.name);
    if (std::strcmp(parameter.name, "trigger_mode") != 0 && !std::isfinite(v)) {
      return must_be(parameter.name) + "a finite number, got " + number(v);
    }
  }
  // With the bounds crossed a regulator's output no longer depends on its error.
  const char* const bounds[][2] = {
      {"upper_u_", "lower_u_"}, {"upper_w_", "lower_w_"}, {"upper_angle_", "lower_angle_"}};
  for (const auto& [upper, lower] : bounds) {
    const double u = values.at(upper);
    const double l = values.at(lower);
    if (u < l) {
      return "parameter '" + std::string(upper) + "' must not be below '" + lower + "' (" +
             number(l) + "), got " + number(u);
    }
  }
  // At 0 or below, no attempt can ever end docked, or every one ends failed near the station.
  for (const char* name :
       {"yMaxerror_threshold", "thetaMaxerror_threshold", "distance_wheel_to_feature"}) {
    const double v = values.at(name);
    if (!(v > 0.0)) {
      return must_be(name) + "greater than 0, got " + number(v);
    }
  }
  return std::nullopt;
}
