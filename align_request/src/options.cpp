#include "align_request/options.hpp"

#include <cmath>
#include <cstdlib>

namespace align_request {

const char* const kUsage =
    "usage: align_request dock|retry [--timeout SECONDS] [--ros-args ...]\n"
    "  dock    request a docking and wait for its result\n"
    "  retry   request a retry check; only a refusal is answered\n"
    "  --timeout SECONDS  how long to wait for the result (default 90)\n"
    "exit status: 0 docked, 1 failure reported, 2 no result, 64 bad usage or start-up failure\n";

namespace {

constexpr double kMaxTimeout = 1e6;  // keeps the deadline within the clock's range

std::optional<std::string> parse_timeout(const std::string& text, double& out) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(v) || v <= 0.0) {
    return "--timeout needs a positive number of seconds, got '" + text + "'";
  }
  if (v > kMaxTimeout) {
    return "--timeout must be at most 1000000 seconds, got '" + text + "'";
  }
  out = v;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> parse_options(const std::vector<std::string>& args, Options& out) {
  std::optional<Command> command;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--ros-args") {
      while (i + 1 < args.size() && args[i + 1] != "--") {
        ++i;
      }
      ++i;  // the closing "--", if any
    } else if (a == "-h" || a == "--help") {
      out.help = true;
    } else if (a == "--timeout") {
      if (i + 1 == args.size()) {
        return std::string("--timeout needs a value");
      }
      if (auto err = parse_timeout(args[++i], out.timeout)) {
        return err;
      }
    } else if (a.rfind("--timeout=", 0) == 0) {
      if (auto err = parse_timeout(a.substr(10), out.timeout)) {
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
