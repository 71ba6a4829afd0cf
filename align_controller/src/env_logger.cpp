#include "env_logger.hpp"

#include <spdlog/sinks/ansicolor_sink.h>
#include <spdlog/sinks/systemd_sink.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Set-up notices share standard output with the console sink; flushed so that
// they are not held back when no console sink follows them.
void notice(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

// Whole-value, case-sensitive match only: padded or capitalised values are invalid.
bool level_from_name(const char* value, int& level) {
  static const char* const names[] = {"trace", "debug", "info", "warning", "error", "critical"};
  for (int i = 0; i < 6; ++i) {
    if (std::strcmp(value, names[i]) == 0) {
      level = i;
      return true;
    }
  }
  return false;
}

}  // namespace

EnvLogger& EnvLogger::instance(const std::string& name) {
  static EnvLogger env_logger(name);
  return env_logger;
}

EnvLogger::EnvLogger(const std::string& name) {
  try {
    std::vector<spdlog::sink_ptr> sinks;

    const char* to_stdout = std::getenv("SPDLOG_STDOUT");
    if (to_stdout == nullptr) {
      notice("environment variable SPDLOG_STDOUT is not set, and set true\n");
    } else if (std::strcmp(to_stdout, "true") != 0 && std::strcmp(to_stdout, "false") != 0) {
      notice("environment variable SPDLOG_STDOUT is invalid, and set true\n");
    }
    if (to_stdout == nullptr || std::strcmp(to_stdout, "false") != 0) {
      sinks.push_back(std::make_shared<spdlog::sinks::ansicolor_stdout_sink_mt>());
    }

    const char* to_journal = std::getenv("SPDLOG_SYSTEMD");
    if (to_journal == nullptr) {
      notice("environment variable SPDLOG_SYSTEMD is not set, and set false\n");
    } else if (std::strcmp(to_journal, "true") != 0 && std::strcmp(to_journal, "false") != 0) {
      notice("environment variable SPDLOG_SYSTEMD is invalid, and set false\n");
    }
    if (to_journal != nullptr && std::strcmp(to_journal, "true") == 0) {
      sinks.push_back(std::make_shared<spdlog::sinks::systemd_sink_mt>());
    }

    logger = std::make_shared<spdlog::logger>(name, sinks.begin(), sinks.end());

    const char* level_name = std::getenv("SPDLOG_LEVEL");
    if (level_name == nullptr) {
      notice("environment variable SPDLOG_LEVEL is not set, and set default level\n");
    } else if (!level_from_name(level_name, level)) {
      notice("environment variable SPDLOG_LEVEL is invalid, and set default level\n");
    }
    logger->set_level(static_cast<spdlog::level::level_enum>(level));

    // Message text only: the prefix that the log operations build is all a line shows.
    logger->set_pattern("%v");
  } catch (const spdlog::spdlog_ex&) {
    // The logger keeps what was set up so far; a library error is never fatal here.
  }
}
