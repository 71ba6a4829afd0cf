#pragma once

#include <spdlog/logger.h>

#include <cstdint>
#include <memory>
#include <string>

// The process-wide logger, configured once from SPDLOG_STDOUT, SPDLOG_SYSTEMD
// and SPDLOG_LEVEL by the first log call. It stays out of spdlog's registry so
// that nothing but our own log calls writes to it.
class EnvLogger {
 public:
  // The first call builds the instance under the given logger name; later
  // calls return the same instance and ignore the name.
  static EnvLogger& instance(const std::string& name);

  EnvLogger(const EnvLogger&) = delete;
  EnvLogger& operator=(const EnvLogger&) = delete;

  std::shared_ptr<spdlog::logger> logger;
  std::uint8_t sequence = 0;  // running line number, shown modulo 128
  int level = spdlog::level::info;

 private:
  explicit EnvLogger(const std::string& name);
};
