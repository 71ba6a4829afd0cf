#include "rclcpp/time.hpp"

#include <stdexcept>

namespace rclcpp {
namespace {

constexpr int64_t kNanosecondsPerSecond = 1000000000;

}  // namespace

Time::Time(int32_t seconds, uint32_t nanoseconds)
    : nanoseconds_(static_cast<int64_t>(seconds) * kNanosecondsPerSecond + nanoseconds) {
  if (seconds < 0) {
    throw std::runtime_error("cannot store a negative time point in rclcpp::Time");
  }
}

Time::Time(int64_t nanoseconds) : nanoseconds_(nanoseconds) {}

Time::Time(const builtin_interfaces::msg::Time& time_msg) : Time(time_msg.sec, time_msg.nanosec) {}

Time::operator builtin_interfaces::msg::Time() const {
  // Floored, so that a negative time keeps its nanoseconds in [0, 1e9).
  int64_t seconds = nanoseconds_ / kNanosecondsPerSecond;
  int64_t rest = nanoseconds_ % kNanosecondsPerSecond;
  if (rest < 0) {
    seconds -= 1;
    rest += kNanosecondsPerSecond;
  }
  builtin_interfaces::msg::Time msg;
  msg.sec = static_cast<int32_t>(seconds);
  msg.nanosec = static_cast<uint32_t>(rest);
  return msg;
}

Duration Time::operator-(const Time& rhs) const {
  return Duration::from_nanoseconds(nanoseconds_ - rhs.nanoseconds_);
}

Time Time::operator+(const Duration& rhs) const { return Time(nanoseconds_ + rhs.nanoseconds()); }

Time Time::operator-(const Duration& rhs) const { return Time(nanoseconds_ - rhs.nanoseconds()); }

}  // namespace rclcpp
