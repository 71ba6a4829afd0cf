#pragma once

#include <chrono>
#include <cstdint>
#include <limits>

namespace rclcpp {

// A signed span of time in nanoseconds. In QoS, zero means "not specified"
// and the largest value "infinite", as rmw has them.
class Duration {
 public:
  Duration(int32_t seconds, uint32_t nanoseconds)
      : nanoseconds_(static_cast<int64_t>(seconds) * 1000000000 + nanoseconds) {}
  template <class Rep, class Period>
  Duration(const std::chrono::duration<Rep, Period>& duration)  // NOLINT: implicit as in rclcpp
      : nanoseconds_(std::chrono::duration_cast<std::chrono::nanoseconds>(duration).count()) {}

  static Duration from_nanoseconds(int64_t nanoseconds) {
    return Duration(std::chrono::nanoseconds(nanoseconds));
  }
  static Duration infinite() { return from_nanoseconds(std::numeric_limits<int64_t>::max()); }

  int64_t nanoseconds() const { return nanoseconds_; }
  double seconds() const { return static_cast<double>(nanoseconds_) * 1e-9; }

  bool operator==(const Duration& other) const { return nanoseconds_ == other.nanoseconds_; }
  bool operator!=(const Duration& other) const { return nanoseconds_ != other.nanoseconds_; }

 private:
  int64_t nanoseconds_;
};

}  // namespace rclcpp
