#include "rclcpp/executors.hpp"

#include <algorithm>

#include "rclcpp/utilities.hpp"

namespace rclcpp {
namespace {

// Short enough for a reply to be picked up promptly, long enough not to spin hot.
constexpr std::chrono::nanoseconds kSpinPeriod = std::chrono::milliseconds(1);

}  // namespace

namespace detail {

FutureReturnCode spin_until(const std::shared_ptr<Node>& node, const std::function<bool()>& done,
                            std::chrono::nanoseconds timeout) {
  if (done()) {
    return FutureReturnCode::SUCCESS;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (ok()) {
    spin_some(node);
    if (done()) {
      return FutureReturnCode::SUCCESS;
    }
    if (timeout >= std::chrono::nanoseconds::zero()) {
      const auto left = deadline - std::chrono::steady_clock::now();
      if (left <= std::chrono::nanoseconds::zero()) {
        return FutureReturnCode::TIMEOUT;
      }
      sleep_for(std::min<std::chrono::nanoseconds>(kSpinPeriod, left));
    } else {
      sleep_for(kSpinPeriod);
    }
  }
  return FutureReturnCode::INTERRUPTED;
}

}  // namespace detail
}  // namespace rclcpp
