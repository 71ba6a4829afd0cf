#pragma once

// Runs log_probe (or a wrapper around it) under a chosen logging environment.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "test_support/child_process.hpp"

using Lines = std::vector<std::string>;

inline constexpr std::chrono::seconds kTimeout{20};

inline const char* const kStdoutNotSet =
    "environment variable SPDLOG_STDOUT is not set, and set true";
inline const char* const kStdoutInvalid =
    "environment variable SPDLOG_STDOUT is invalid, and set true";
inline const char* const kSystemdNotSet =
    "environment variable SPDLOG_SYSTEMD is not set, and set false";
inline const char* const kSystemdInvalid =
    "environment variable SPDLOG_SYSTEMD is invalid, and set false";
inline const char* const kLevelNotSet =
    "environment variable SPDLOG_LEVEL is not set, and set default level";
inline const char* const kLevelInvalid =
    "environment variable SPDLOG_LEVEL is invalid, and set default level";

// Values of the three variables; nullopt leaves the variable unset.
struct LogEnv {
  std::optional<std::string> to_stdout;
  std::optional<std::string> to_systemd;
  std::optional<std::string> level;
};

inline test_support::ChildProcess::Options options_for(const LogEnv& env) {
  test_support::ChildProcess::Options options;
  auto apply = [&](const char* name, const std::optional<std::string>& value) {
    if (value) {
      options.set_env.push_back(std::string(name) + "=" + *value);
    } else {
      options.unset_env.push_back(name);
    }
  };
  apply("SPDLOG_STDOUT", env.to_stdout);
  apply("SPDLOG_SYSTEMD", env.to_systemd);
  apply("SPDLOG_LEVEL", env.level);
  return options;
}

// Runs argv to its end and returns its standard output lines; it must
// succeed without writing to standard error.
inline Lines run_logged(const LogEnv& env, const std::vector<std::string>& argv) {
  test_support::ChildProcess child(argv, options_for(env));
  EXPECT_EQ(child.wait_exit(kTimeout), 0) << child.stderr_text();
  EXPECT_EQ(child.stderr_text(), "");
  return child.stdout_lines();
}

inline Lines run_probe(const LogEnv& env, const std::vector<std::string>& commands) {
  std::vector<std::string> argv{LOG_PROBE_PATH};
  argv.insert(argv.end(), commands.begin(), commands.end());
  return run_logged(env, argv);
}
