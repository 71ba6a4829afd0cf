#include "log.hpp"

#include "env_logger.hpp"

#include <string>
#include <utility>

namespace align_log {
namespace {

const char* tag_of(spdlog::level::level_enum level) {
  switch (level) {
    case spdlog::level::warn:
      return "WARN";
    case spdlog::level::err:
      return "ERROR";
    default:
      return "INFO";
  }
}

LineSink& line_sink() {
  static LineSink sink;
  return sink;
}

}  // namespace

void set_line_sink(LineSink sink) { line_sink() = std::move(sink); }

void vwrite(const spdlog::source_loc& location, const char* file, spdlog::level::level_enum level,
            fmt::string_view format, fmt::format_args args) {
  // The first call of the process builds the logger, so its set-up notices
  // come ahead of this line.
  const std::shared_ptr<spdlog::logger> logger = EnvLogger::instance("spdlog").logger;
  const std::string message = fmt::vformat(format, args);

  // Only records that pass the level use up a number, sinks or not.
  EnvLogger& env_logger = EnvLogger::instance("spdlog");
  const bool passes = env_logger.level <= level;
  if (passes) {
    ++env_logger.sequence;
  }
  const unsigned number = env_logger.sequence & 0x7Fu;

  const std::string text = fmt::format("{0:3d} [{1}] ", number, tag_of(level)) + message;
  // Empty only if the library failed during set-up.
  if (logger) {
    logger->log(location, level, spdlog::string_view_t(text));
  }
  if (passes && line_sink()) {
    line_sink()(Line{file, location.funcname, location.line, level, message});
  }
}

}  // namespace align_log
