#include "topic_qos.hpp"

#include <stdexcept>

#include "python_text.hpp"

namespace ros2_lite {
namespace {

const std::vector<std::string> kProfiles{
    "unknown",    "system_default",   "sensor_data",          "services_default",
    "parameters", "parameter_events", "action_status_default"};

std::optional<std::string> given(const ParsedArgs& args, const std::string& flag) {
  const auto found = args.values.find(flag);
  if (found == args.values.end()) {
    return std::nullopt;
  }
  return found->second;
}

[[noreturn]] void unknown_policy(const std::string& what) {
  throw std::invalid_argument("The QoS " + what + " 'unknown' cannot be used for an endpoint");
}

}  // namespace

rclcpp::QoS qos_preset(const std::string& key, bool reader) {
  const auto system_default = [reader] {
    rclcpp::QoS qos(1);
    return reader ? qos.best_effort() : qos.reliable();
  };
  if (key == "system_default") {
    return system_default();
  }
  if (key == "sensor_data") {
    return rclcpp::QoS(5).best_effort();
  }
  if (key == "services_default") {
    return rclcpp::QoS(10);
  }
  if (key == "parameters" || key == "parameter_events") {
    return rclcpp::QoS(1000);
  }
  if (key == "action_status_default") {
    return rclcpp::QoS(1).transient_local();
  }
  unknown_policy("profile");
}

std::vector<Argument> qos_arguments(const std::string& action, const std::string& profile_help,
                                    const std::string& history_default,
                                    const std::string& reliability_default,
                                    const std::string& durability_default,
                                    const std::string& depth_default) {
  Argument profile({"--qos-profile"}, "", Nargs::kOne, profile_help);
  profile.choices = kProfiles;
  Argument depth({"--qos-depth"}, "", Nargs::kOne,
                 "Queue size setting to " + action +
                     " with (overrides depth value of --qos-profile option" + depth_default + ")",
                 false, "N");
  depth.convert = [](const std::string& text) -> std::optional<std::string> {
    if (python_int_value(text)) {
      return std::nullopt;
    }
    return "invalid int value: " + python_str_repr(text);
  };
  // One policy: "<what> setting to <action> with (overrides <policy> value of ...)".
  const auto policy = [&action](const std::string& policy, const std::string& what,
                                const std::string& fallback, std::vector<std::string> choices) {
    Argument argument({"--qos-" + policy}, "", Nargs::kOne,
                      what + " setting to " + action + " with (overrides " + policy +
                          " value of --qos-profile option, default: " + fallback + ")");
    argument.choices = std::move(choices);
    return argument;
  };
  return {profile, depth,
          policy("history", "History of samples", history_default,
                 {"system_default", "keep_last", "keep_all", "unknown"}),
          policy("reliability", "Quality of service reliability", reliability_default,
                 {"system_default", "reliable", "best_effort", "unknown"}),
          policy("durability", "Quality of service durability", durability_default,
                 {"system_default", "transient_local", "volatile", "unknown"})};
}

bool has_qos_keys(const ParsedArgs& args) {
  for (const char* flag :
       {"--qos-profile", "--qos-depth", "--qos-history", "--qos-reliability", "--qos-durability"}) {
    if (given(args, flag)) {
      return true;
    }
  }
  return false;
}

rclcpp::QoS with_qos_keys(rclcpp::QoS qos, const ParsedArgs& args, bool reader) {
  if (const auto history = given(args, "--qos-history")) {
    if (*history == "keep_all") {
      qos.keep_all();
    } else if (*history == "unknown") {
      unknown_policy("history");
    } else {
      qos.keep_last(qos.depth() == 0 ? 1 : qos.depth());
    }
  }
  if (const auto durability = given(args, "--qos-durability")) {
    if (*durability == "unknown") {
      unknown_policy("durability");
    }
    qos.durability(*durability == "transient_local" ? rclcpp::DurabilityPolicy::TransientLocal
                                                    : rclcpp::DurabilityPolicy::Volatile);
  }
  if (const auto reliability = given(args, "--qos-reliability")) {
    if (*reliability == "unknown") {
      unknown_policy("reliability");
    }
    const bool reliable =
        *reliability == "reliable" || (*reliability == "system_default" && !reader);
    qos.reliability(reliable ? rclcpp::ReliabilityPolicy::Reliable
                             : rclcpp::ReliabilityPolicy::BestEffort);
  }
  // A depth of 0 or less keeps the preset's, as ros2topic does.
  const auto depth = given(args, "--qos-depth");
  const long long value = depth ? python_int_value(*depth).value_or(0) : 0;
  if (value > 0 && qos.history() == rclcpp::HistoryPolicy::KeepLast) {
    qos.keep_last(static_cast<size_t>(value));
  }
  return qos;
}

}  // namespace ros2_lite
