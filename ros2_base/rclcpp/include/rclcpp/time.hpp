#pragma once

#include <cstdint>

#include "builtin_interfaces/msg/time.hpp"
#include "rclcpp/duration.hpp"

namespace rclcpp {

// A point in time as nanoseconds since the epoch. The layer has one clock, the
// system's (no ROS time), so a Time carries no clock type.
class Time {
 public:
  // Nanoseconds of 1e9 or more carry into the seconds, as in rclcpp.
  Time(int32_t seconds, uint32_t nanoseconds);
  explicit Time(int64_t nanoseconds = 0);
  Time(const builtin_interfaces::msg::Time& time_msg);  // NOLINT: implicit as in rclcpp

  operator builtin_interfaces::msg::Time() const;  // NOLINT: implicit as in rclcpp

  int64_t nanoseconds() const { return nanoseconds_; }
  double seconds() const { return static_cast<double>(nanoseconds_) * 1e-9; }

  bool operator==(const Time& rhs) const { return nanoseconds_ == rhs.nanoseconds_; }
  bool operator!=(const Time& rhs) const { return nanoseconds_ != rhs.nanoseconds_; }
  bool operator<(const Time& rhs) const { return nanoseconds_ < rhs.nanoseconds_; }
  bool operator<=(const Time& rhs) const { return nanoseconds_ <= rhs.nanoseconds_; }
  bool operator>(const Time& rhs) const { return nanoseconds_ > rhs.nanoseconds_; }
  bool operator>=(const Time& rhs) const { return nanoseconds_ >= rhs.nanoseconds_; }
  Duration operator-(const Time& rhs) const;
  Time operator+(const Duration& rhs) const;
  Time operator-(const Duration& rhs) const;

 private:
  int64_t nanoseconds_;
};

}  // namespace rclcpp
