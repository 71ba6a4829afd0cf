#pragma once

#include <chrono>
#include <stdexcept>

#include "rclcpp/utilities.hpp"

namespace rclcpp {

// Fixed schedule: each tick is the previous one plus the period.
template <class Clock = std::chrono::high_resolution_clock>
class GenericRate {
 public:
  explicit GenericRate(double rate)
      : GenericRate(std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::duration<double>(1.0 / checked(rate)))) {}
  explicit GenericRate(std::chrono::nanoseconds period)
      : period_(period), last_interval_(Clock::now()) {}

  // False, without sleeping, when the next tick has already passed.
  bool sleep() {
    auto now = Clock::now();
    auto next_interval = last_interval_ + period_;
    if (now < last_interval_) {
      // The clock went backwards: start again from now.
      next_interval = now + period_;
    }
    auto time_to_sleep = next_interval - now;
    last_interval_ += period_;
    if (time_to_sleep <= std::chrono::seconds(0)) {
      // A whole period missed: catching up would only burst, so move the schedule.
      if (now > next_interval + period_) {
        last_interval_ = now + period_;
      }
      return false;
    }
    rclcpp::sleep_for(time_to_sleep);
    return true;
  }

  bool is_steady() const { return Clock::is_steady; }
  void reset() { last_interval_ = Clock::now(); }
  std::chrono::nanoseconds period() const { return period_; }

 private:
  static double checked(double rate) {
    if (!(rate > 0.0)) {
      throw std::invalid_argument("rate must be greater than 0");
    }
    return rate;
  }

  std::chrono::nanoseconds period_;
  typename Clock::time_point last_interval_;
};

using Rate = GenericRate<std::chrono::system_clock>;
using WallRate = GenericRate<std::chrono::steady_clock>;

}  // namespace rclcpp
