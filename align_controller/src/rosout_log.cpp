#include "rosout_log.hpp"

#include <chrono>
#include <cstdarg>
#include <string>

#include "log.hpp"
#include "rcl/logging_rosout.h"
#include "rcutils/logging.h"

namespace {

int severity_of(spdlog::level::level_enum level) {
  switch (level) {
    case spdlog::level::trace:
    case spdlog::level::debug:
      return RCUTILS_LOG_SEVERITY_DEBUG;
    case spdlog::level::warn:
      return RCUTILS_LOG_SEVERITY_WARN;
    case spdlog::level::err:
      return RCUTILS_LOG_SEVERITY_ERROR;
    case spdlog::level::critical:
      return RCUTILS_LOG_SEVERITY_FATAL;
    default:
      return RCUTILS_LOG_SEVERITY_INFO;
  }
}

// The handler takes a printf format and its va_list, as rcutils hands them over.
void publish(const rcutils_log_location_t* location, int severity, const char* name,
             rcutils_time_point_value_t stamp, const char* format, ...) {
  va_list args;
  va_start(args, format);
  rcl_logging_rosout_output_handler(location, severity, name, stamp, format, &args);
  va_end(args);
}

}  // namespace

RosoutLog::RosoutLog(const rclcpp::Node& node) {
  align_log::set_line_sink([name = std::string(node.get_logger().get_name())](
                               const align_log::Line& line) {
    // rcutils stamps a line with the system clock when it is logged.
    const auto stamp = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    const rcutils_log_location_t location{line.function, line.file, static_cast<size_t>(line.line)};
    publish(&location, severity_of(line.level), name.c_str(), stamp, "%.*s",
            static_cast<int>(line.text.size()), line.text.data());
  });
}

RosoutLog::~RosoutLog() { align_log::set_line_sink(nullptr); }
