#pragma once

#include <string>
#include <vector>

namespace ros2_lite {

struct CommandOutput {
  int status;          // exit status, 128 + signal when killed, 127 when it could not start
  std::string output;  // standard output and standard error, interleaved
};

// Runs argv[0] (looked up in PATH) with standard input from /dev/null and waits for it.
CommandOutput run_command(const std::vector<std::string>& argv);

}  // namespace ros2_lite
