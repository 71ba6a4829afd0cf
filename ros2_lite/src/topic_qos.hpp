#pragma once

#include <optional>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "rclcpp/qos.hpp"

namespace ros2_lite {

// The --qos-* options of `topic echo` and `topic pub`, with rclpy's short keys.
// `action` is "subscribe"/"publish"; the defaults are named as each verb names them.
std::vector<Argument> qos_arguments(const std::string& action, const std::string& profile_help,
                                    const std::string& history_default,
                                    const std::string& reliability_default,
                                    const std::string& durability_default,
                                    const std::string& depth_default);

// A QoS preset by rclpy's short key ("sensor_data", "services_default"...). The DDS
// defaults stand for "system_default": a reader best effort, a writer reliable.
// Throws std::invalid_argument for "unknown", which no endpoint takes.
rclcpp::QoS qos_preset(const std::string& key, bool reader);
// The --qos-* options given on the command line over a profile, as ros2topic's
// profile_configure_short_keys sets them.
rclcpp::QoS with_qos_keys(rclcpp::QoS qos, const ParsedArgs& args, bool reader);
// Whether any --qos-* option was given.
bool has_qos_keys(const ParsedArgs& args);

}  // namespace ros2_lite
