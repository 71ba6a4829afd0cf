#include "logging_rosout.hpp"

#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

#include "rcl/logging_rosout.h"

namespace rclcpp_dds {
namespace {

struct Loggers {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<RosoutPublisher>, std::less<>> publishers;
};

Loggers& loggers() {
  static Loggers instance;
  return instance;
}

std::string vformat(const char* format, va_list* args) {
  char buffer[1024];
  va_list copy;
  va_copy(copy, *args);
  const int size = std::vsnprintf(buffer, sizeof(buffer), format, copy);
  va_end(copy);
  if (size < 0) {
    return std::string();
  }
  if (static_cast<size_t>(size) < sizeof(buffer)) {
    return std::string(buffer, static_cast<size_t>(size));
  }
  std::vector<char> large(static_cast<size_t>(size) + 1);
  va_copy(copy, *args);
  std::vsnprintf(large.data(), large.size(), format, copy);
  va_end(copy);
  return std::string(large.data(), static_cast<size_t>(size));
}

}  // namespace

void add_rosout_logger(const std::string& logger_name, std::shared_ptr<RosoutPublisher> publisher) {
  Loggers& all = loggers();
  std::lock_guard<std::mutex> lock(all.mutex);
  all.publishers.emplace(logger_name, std::move(publisher));
}

void remove_rosout_logger(const std::string& logger_name, const RosoutPublisher* publisher) {
  Loggers& all = loggers();
  std::lock_guard<std::mutex> lock(all.mutex);
  const auto it = all.publishers.find(logger_name);
  if (it != all.publishers.end() && it->second.get() == publisher) {
    all.publishers.erase(it);
  }
}

}  // namespace rclcpp_dds

extern "C" void rcl_logging_rosout_output_handler(const rcutils_log_location_t* location,
                                                  int severity, const char* name,
                                                  rcutils_time_point_value_t timestamp,
                                                  const char* format, va_list* args) {
  if (location == nullptr || name == nullptr || format == nullptr || args == nullptr) {
    return;
  }
  std::shared_ptr<rclcpp_dds::RosoutPublisher> publisher;
  {
    rclcpp_dds::Loggers& all = rclcpp_dds::loggers();
    std::lock_guard<std::mutex> lock(all.mutex);
    const auto it = all.publishers.find(name);
    if (it == all.publishers.end()) {
      return;
    }
    publisher = it->second;
  }
  rcl_interfaces::msg::Log message;
  constexpr int64_t kNanoseconds = 1000000000;
  message.stamp.sec = static_cast<int32_t>(timestamp / kNanoseconds);
  message.stamp.nanosec = static_cast<uint32_t>(timestamp % kNanoseconds);
  message.level = static_cast<uint8_t>(severity);
  message.name = name;
  message.msg = rclcpp_dds::vformat(format, args);
  message.file = location->file_name != nullptr ? location->file_name : "";
  message.function = location->function_name != nullptr ? location->function_name : "";
  message.line = static_cast<uint32_t>(location->line_number);
  try {
    publisher->publish(message);
  } catch (const std::exception& error) {
    // Never fatal to the caller, as in rcl: a failed publish is told on stderr.
    std::fprintf(stderr, "Failed to publish log message to rosout: %s\n", error.what());
  }
}
