#include "docking_server/client_options.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "docking_server/goal_limits.hpp"

namespace docking_server {

const char* const kClientUsage =
    "usage: docking_client dock [--max-attempts N] [--staging-distance M] [--server-timeout S]\n"
    "       docking_client undock [--staging-distance M] [--server-timeout S]\n"
    "                     [--ros-args ...]\n"
    "  dock     dock the robot through docking_server's dock action\n"
    "  undock   drive the robot out to the staging distance (undock action)\n"
    "  --max-attempts N        docking attempts at most, 1 to 100 (default: the server's)\n"
    "  --staging-distance M    m from the station, 0.5 to 3 (default: the server's)\n"
    "  --server-timeout S      s to wait for docking_server (default 10)\n"
    "Prints each feedback as a line, then the result. Ctrl-C cancels the goal.\n"
    "exit status: 0 succeeded, 1 failed or rejected, 2 no server, no answer or\n"
    "interrupted, 64 bad usage or start-up failure\n";

namespace {

// A value within [low, high]; whole when integer.
std::optional<std::string> number(const std::string& name, const std::string& text, double low,
                                  double high, bool integer, double& out) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(v) || v < low || v > high ||
      (integer && v != std::floor(v))) {
    char range[64];
    std::snprintf(range, sizeof range, "%s from %g to %g", integer ? "a whole number" : "a number",
                  low, high);
    return name + " needs " + range + ", got '" + text + "'";
  }
  out = v;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> parse_client_options(const std::vector<std::string>& args,
                                                ClientOptions& out) {
  std::optional<ClientOptions::Command> command;
  bool attempts_given = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--ros-args") {
      while (i + 1 < args.size() && args[i + 1] != "--") {
        ++i;
      }
      ++i;  // the closing "--", if any
      continue;
    }
    if (a == "-h" || a == "--help") {
      out.help = true;
      continue;
    }
    if (a == "dock" || a == "undock") {
      if (command) {
        return "only one command is allowed, got '" + a + "' as well";
      }
      command = a == "dock" ? ClientOptions::Command::kDock : ClientOptions::Command::kUndock;
      continue;
    }
    const size_t equals = a.find('=');
    const std::string name = a.substr(0, equals);
    if (name != "--max-attempts" && name != "--staging-distance" && name != "--server-timeout") {
      return "unknown argument '" + a + "'";
    }
    if (equals == std::string::npos && i + 1 == args.size()) {
      return name + " needs a value";
    }
    const std::string value = equals == std::string::npos ? args[++i] : a.substr(equals + 1);
    double v = 0.0;
    std::optional<std::string> error;
    if (name == "--max-attempts") {
      error = number(name, value, 1, kMaxAttempts, true, v);
      out.max_attempts = static_cast<int>(v);
      attempts_given = true;
    } else if (name == "--staging-distance") {
      error = number(name, value, kMinStagingDistance, kMaxStagingDistance, false, v);
      out.staging_distance = v;
    } else {
      error = number(name, value, 0.1, 3600, false, v);
      out.server_timeout = v;
    }
    if (error) {
      return error;
    }
  }
  if (!command && !out.help) {
    return std::string("a command is needed: dock or undock");
  }
  out.command = command.value_or(ClientOptions::Command::kDock);
  if (attempts_given && out.command == ClientOptions::Command::kUndock) {
    return std::string("--max-attempts is for dock only");
  }
  return std::nullopt;
}

}  // namespace docking_server
