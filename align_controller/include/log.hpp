#pragma once

#include <fmt/format.h>
#include <spdlog/common.h>

#include <functional>
#include <string_view>

// Log operations: LOG_INFO("fmt {}", args...). Each line gets the running
// number and level tag as a prefix; the call site travels to the journal as
// "./src/<file name>", line and bare function name; to a line sink (/rosout) with
// the file as __FILE__ names it, as RCLCPP_INFO would.
#define LOG_INFO(format, ...) ALIGN_LOG_AT(::spdlog::level::info, format, __VA_ARGS__)
#define LOG_WARN(format, ...) ALIGN_LOG_AT(::spdlog::level::warn, format, __VA_ARGS__)
#define LOG_ERROR(format, ...) ALIGN_LOG_AT(::spdlog::level::err, format, __VA_ARGS__)

// FMT_STRING checks the format against the arguments at compile time in C++17.
#define ALIGN_LOG_AT(lvl, format, ...)                                                            \
  ::align_log::write(                                                                             \
      ::spdlog::source_loc{"./src/" __FILE_NAME__, __LINE__, static_cast<const char*>(__func__)}, \
      __FILE__, lvl, FMT_STRING(format) __VA_OPT__(, ) __VA_ARGS__)

namespace align_log {

// One line that passed the level, as a line sink gets it: the message without
// the number and tag, and the call site with its full file name.
struct Line {
  const char* file;
  const char* function;
  int line;
  spdlog::level::level_enum level;
  std::string_view text;
};
using LineSink = std::function<void(const Line&)>;

// Every later line also goes to sink; an empty one stops that.
void set_line_sink(LineSink sink);

// Formats and numbers one record and hands it to the EnvLogger's logger and the line sink.
void vwrite(const spdlog::source_loc& location, const char* file, spdlog::level::level_enum level,
            fmt::string_view format, fmt::format_args args);

template <typename... Args>
void write(const spdlog::source_loc& location, const char* file, spdlog::level::level_enum level,
           fmt::format_string<Args...> format, Args&&... args) {
  vwrite(location, file, level, format, fmt::make_format_args(args...));
}

}  // namespace align_log
