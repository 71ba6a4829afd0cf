#pragma once

#include <optional>
#include <string>
#include <vector>

namespace docking_server {

struct ClientOptions {
  enum class Command { kDock, kUndock } command = Command::kDock;
  int max_attempts = 0;           // 0: the server's max_attempts
  double staging_distance = 0.0;  // m; 0: the server's staging_distance
  double server_timeout = 10.0;   // s to wait for docking_server
  bool help = false;
};

// Exit statuses of docking_client.
constexpr int kExitSucceeded = 0;
constexpr int kExitFailed = 1;
constexpr int kExitNoServer = 2;  // also: interrupted, the goal canceled
constexpr int kExitUsage = 64;

extern const char* const kClientUsage;

// Reads the client's own arguments; ROS arguments (--ros-args ... [--]) are
// rclcpp's. Returns the error text on bad input.
std::optional<std::string> parse_client_options(const std::vector<std::string>& args,
                                                ClientOptions& out);

}  // namespace docking_server
