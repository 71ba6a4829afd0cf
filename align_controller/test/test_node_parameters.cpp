// The start-up rules on the node's parameters: what is refused, in which words,
// and that nothing a working configuration may hold is.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <string>

#include "node_parameters.hpp"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::map<std::string, double> defaults() {
  std::map<std::string, double> values;
  for (const auto& p : kNodeParameters) values[p.name] = p.default_value;
  return values;
}

std::optional<std::string> error_with(const std::map<std::string, double>& changes) {
  auto values = defaults();
  for (const auto& [name, value] : changes) values.at(name) = value;
  return configuration_error(values);
}

TEST(NodeParameters, EveryParameterOnceWithAUnitInItsDescription) {
  std::set<std::string> names;
  for (const auto& p : kNodeParameters) {
    EXPECT_TRUE(names.insert(p.name).second) << p.name;
    const std::string description = p.description;
    EXPECT_EQ(description.back(), ')') << p.name;
    EXPECT_NE(description.rfind(" ("), std::string::npos) << p.name;
  }
  EXPECT_EQ(names.size(), 22u);
  EXPECT_EQ(configuration_error(defaults()), std::nullopt);
}

TEST(NodeParameters, RefusedConfigurationsNameTheParameterItsValueAndTheRule) {
  const std::pair<std::map<std::string, double>, std::string> refused[] = {
      {{{"kp_w_", kNan}}, "parameter 'kp_w_' must be a finite number, got nan"},
      {{{"upper_angle_", -kInf}}, "parameter 'upper_angle_' must be a finite number, got -inf"},
      {{{"target_u_", kInf}}, "parameter 'target_u_' must be a finite number, got inf"},
      {{{"upper_w_", -0.5}}, "parameter 'upper_w_' must not be below 'lower_w_' (0), got -0.5"},
      {{{"lower_angle_", 0.25}},
       "parameter 'upper_angle_' must not be below 'lower_angle_' (0.25), got 0.2"},
      {{{"upper_u_", -0.2}}, "parameter 'upper_u_' must not be below 'lower_u_' (-0.1), got -0.2"},
      {{{"yMaxerror_threshold", -3.0}},
       "parameter 'yMaxerror_threshold' must be greater than 0, got -3"},
      {{{"thetaMaxerror_threshold", 0.0}},
       "parameter 'thetaMaxerror_threshold' must be greater than 0, got 0"},
      {{{"distance_wheel_to_feature", -1.0}},
       "parameter 'distance_wheel_to_feature' must be greater than 0, got -1"},
      // Several faults: the first in declaration order, non-finite values before the rest.
      {{{"yMaxerror_threshold", -1.0}, {"lower_w_", 1.0}, {"kd_angle_", kNan}},
       "parameter 'kd_angle_' must be a finite number, got nan"},
      {{{"yMaxerror_threshold", -1.0}, {"lower_w_", 1.0}},
       "parameter 'upper_w_' must not be below 'lower_w_' (1), got 0.1"},
  };
  for (const auto& [changes, message] : refused) {
    const auto error = error_with(changes);
    ASSERT_TRUE(error.has_value()) << message;
    EXPECT_EQ(*error, message);
    EXPECT_EQ(error->find('\n'), std::string::npos);
  }
}

TEST(NodeParameters, WhatCanBeMeantStartsEqualBoundsSignedGainsAnyMode) {
  const std::map<std::string, double> accepted[] = {
      {{"upper_w_", 0.0}, {"lower_w_", 0.0}},  // a regulator switched off
      {{"upper_angle_", -0.1}, {"lower_angle_", -0.1}},
      {{"kp_w_", -0.5}, {"ki_angle_", -1.0}, {"kd_u_", 1e6}},
      {{"target_w_", -2.0}, {"target_angle_", 3.0}},
      {{"yMaxerror_threshold", 1e-9}, {"thetaMaxerror_threshold", 100.0}},
      {{"distance_wheel_to_feature", 5.0}},
      {{"trigger_mode", kNan}},
      {{"trigger_mode", -kInf}},
      {{"trigger_mode", kInf}},
  };
  for (const auto& changes : accepted) {
    EXPECT_EQ(error_with(changes), std::nullopt) << changes.begin()->first;
  }
}

}  // namespace
