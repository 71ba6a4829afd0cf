#include "align_request/options.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <utility>

namespace align_request {

const char* const kUsage =
    "usage: align_request dock|retry [--timeout SECONDS] [--attempts N]\n"
    "                    [--staging-distance M] [--backoff-speed V] [--perception-timeout S]\n"
    "                    [--stage-first] [--ros-args ...]\n"
    "  dock    request a docking and wait for its result; after a failed attempt,\n"
    "          back off to the staging distance and try again\n"
    "  retry   request a retry check; only a refusal is answered\n"
    "  --timeout SECONDS       how long to wait for each result (default 90)\n"
    "  --attempts N            docking attempts at most (default 3; 1: no back-off)\n"
    "  --staging-distance M    distance from the station where an attempt starts (default 1.5)\n"
    "  --backoff-speed V       forward speed of the back-off in m/s (default 0.1, at most 0.2)\n"
    "  --perception-timeout S  seconds without a change in the camera pose before an attempt\n"
    "                          is paused and the robot stopped (default 1, above 0.1, at most 10)\n"
    "  --stage-first           before the first attempt, drive a robot that stands closer than\n"
    "                          the staging distance or more than 0.2 m off the axis out onto\n"
    "                          the station's axis first\n"
    "exit status: 0 docked, 1 failure reported (or retry refused), 2 no result (no\n"
    "controller, timeout or interrupted), 4 retry check not refused within the timeout,\n"
    "64 bad usage, 69 middleware failure (ROS_DOMAIN_ID, CYCLONEDDS_URI...)\n";

namespace {

// A number within (low, high], or a whole number within [low, high].
struct Bounds {
  const char* name;
  const char* what;
  double low, high;
  bool integer;
  const char* unit;
};

constexpr Bounds kTimeout{"--timeout", "a positive number of seconds", 0, 1e6, false, "seconds"};
constexpr Bounds kAttempts{"--attempts", "a whole number of attempts", 1, 100, true, "attempts"};
constexpr Bounds kStaging{"--staging-distance", "a positive distance in metres", 0, 10, false, "m"};
constexpr Bounds kBackoff{"--backoff-speed", "a positive speed in m/s", 0, 0.2, false, "m/s"};
// At 0.1 s or less a camera at 10 Hz would stop every attempt.
constexpr Bounds kPerception{
    "--perception-timeout", "a number of seconds above 0.1", 0.1, 10, false, "seconds"};

std::optional<std::string> parse_number(const Bounds& b, const std::string& text, double& out) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  const bool number = !text.empty() && *end == '\0' && std::isfinite(v);
  if (number && v > b.high) {
    char high[32];
    std::snprintf(high, sizeof high, "%.10g", b.high);
    return std::string(b.name) + " must be at most " + high + " " + b.unit + ", got '" + text + "'";
  }
  if (!number || (b.integer ? v < b.low || v != std::floor(v) : v <= b.low)) {
    return std::string(b.name) + " needs " + b.what + ", got '" + text + "'";
  }
  out = v;
  return std::nullopt;
}

}  // namespace

bool help_asked(const std::vector<std::string>& args) {
  bool ros_args = false;
  for (const auto& arg : args) {
    if (arg == "--ros-args") {
      ros_args = true;
    } else if (arg == "--") {
      ros_args = false;
    } else if (!ros_args && (arg == "-h" || arg == "--help")) {
      return true;
    }
  }
  return false;
}

std::optional<std::string> parse_options(const std::vector<std::string>& args, Options& out) {
  std::optional<Command> command;
  double attempts = out.attempts;
  const std::pair<const Bounds*, double*> numbers[] = {{&kTimeout, &out.timeout},
                                                       {&kAttempts, &attempts},
                                                       {&kStaging, &out.staging_distance},
                                                       {&kBackoff, &out.backoff_speed},
                                                       {&kPerception, &out.perception_timeout}};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto option = std::find_if(std::begin(numbers), std::end(numbers), [&a](const auto& n) {
      const std::string name = n.first->name;
      return a == name || a.rfind(name + "=", 0) == 0;
    });
    if (a == "--ros-args") {
      while (i + 1 < args.size() && args[i + 1] != "--") {
        ++i;
      }
      ++i;  // the closing "--", if any
    } else if (a == "-h" || a == "--help") {
      out.help = true;
    } else if (a == "--stage-first") {
      out.stage_first = true;
    } else if (option != std::end(numbers)) {
      const std::string name = option->first->name;
      if (a == name && i + 1 == args.size()) {
        return name + " needs a value";
      }
      const std::string value = a == name ? args[++i] : a.substr(name.size() + 1);
      if (auto err = parse_number(*option->first, value, *option->second)) {
        return err;
      }
    } else if (a == "dock" || a == "retry") {
      if (command) {
        return "only one command is allowed, got '" + a + "' as well";
      }
      command = a == "dock" ? Command::kDock : Command::kRetry;
    } else {
      return "unknown argument '" + a + "'";
    }
  }
  if (!command && !out.help) {
    return std::string("a command is needed: dock or retry");
  }
  out.command = command.value_or(Command::kDock);
  out.attempts = static_cast<int>(attempts);
  return std::nullopt;
}

Outcome interpret_result(Command command, int enable, int action, int success) {
  const std::string values = "(" + std::to_string(enable) + ", " + std::to_string(action) + ", " +
                             std::to_string(success) + ")";
  if (enable == 1 && action == 1 && success == 1) {
    if (command == Command::kDock) {
      return {kExitDocked, "docked: result " + values};
    }
    // A retry check never reports success; a (1, 1, 1) now ends some docking.
    return {kExitFailed, "unexpected result " + values + " to a retry check"};
  }
  if (enable == 1 && action == 1 && success == 0) {
    return {kExitFailed, command == Command::kDock ? "docking failed: result " + values
                                                   : "retry refused: result " + values};
  }
  return {kExitFailed, "unexpected result " + values};
}

}  // namespace align_request
