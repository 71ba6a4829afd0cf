#pragma once

#include <optional>
#include <string>
#include <vector>

namespace align_request {

enum class Command { kDock, kRetry };

struct Options {
  Command command = Command::kDock;
  // s for each result; a docking may use 45 s of active cycles plus its pauses
  double timeout = 90.0;
  int attempts = 3;
  double staging_distance = 1.5;  // m from the station where a new attempt starts
  double backoff_speed = 0.1;     // m/s, forward: away from the station
  // s without a change in the camera pose, while an attempt drives, before it is stopped
  double perception_timeout = 1.0;
  // Before the first attempt, a robot too close to the station or far off its axis is
  // first driven out onto the axis (RetrySupervisor::kStageOffAxis...)
  bool stage_first = false;
  bool help = false;
};

// Exit statuses: what a supervisor script branches on.
constexpr int kExitDocked = 0;
constexpr int kExitFailed = 1;
constexpr int kExitNoResult = 2;
// The retry check got no refusal within the timeout: perception is alive, a retry may go.
// Not 3, which the closed-loop runner gives a program that does not come up.
constexpr int kExitNotRefused = 4;
constexpr int kExitUsage = 64;
// The middleware could not start: ROS_DOMAIN_ID, the CYCLONEDDS_URI profile... (EX_UNAVAILABLE)
constexpr int kExitMiddleware = 69;

extern const char* const kUsage;

// -h or --help among a program's own arguments: outside --ros-args ... [--].
bool help_asked(const std::vector<std::string>& args);

// Parses the tool's own arguments; ROS arguments (--ros-args ... [--]) are
// skipped, they are rclcpp's. Returns the error text on bad input.
std::optional<std::string> parse_options(const std::vector<std::string>& args, Options& out);

struct Outcome {
  int exit_status;
  std::string text;
};

// What a result on /align_result means for the request that was sent.
Outcome interpret_result(Command command, int enable, int action, int success);

}  // namespace align_request
