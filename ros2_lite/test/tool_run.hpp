#pragma once

// ros2_lite run as a child process on a DDS domain of the test's, for the tests
// that meet it over DDS.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "test_support/child_process.hpp"

namespace ros2_lite_test {

constexpr std::chrono::milliseconds kTimeout{15000};

inline test_support::ChildProcess::Options on_domain(const std::string& domain_id) {
  test_support::ChildProcess::Options options;
  options.set_env = {"ROS_DOMAIN_ID=" + domain_id};
  return options;
}

struct ToolRun {
  int status;  // -1: still running at the deadline
  std::string out;
  std::string err;
};

// `ros2_lite ARGS...`, to its end or the timeout.
inline ToolRun run_tool(const std::string& domain_id, std::vector<std::string> args,
                        std::chrono::milliseconds timeout = kTimeout) {
  args.insert(args.begin(), ROS2_LITE);
  test_support::ChildProcess tool(args, on_domain(domain_id));
  const std::optional<int> status = tool.wait_exit(timeout);
  return {status.value_or(-1), tool.stdout_text(), tool.stderr_text()};
}

}  // namespace ros2_lite_test
