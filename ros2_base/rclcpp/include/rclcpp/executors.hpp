#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>

#include "rclcpp/future_return_code.hpp"
#include "rclcpp/node.hpp"

namespace rclcpp {

// Runs the work ready now: each subscription of the node, in creation order,
// delivers at most one waiting message; then each service answers at most one
// request and each client takes its waiting replies. Returns at once when not ok().
void spin_some(const std::shared_ptr<Node>& node);

namespace detail {
// spin_some until done() holds, rclcpp is shut down or the timeout passes
// (never, if negative).
FutureReturnCode spin_until(const std::shared_ptr<Node>& node, const std::function<bool()>& done,
                            std::chrono::nanoseconds timeout);
}  // namespace detail

template <typename FutureT, typename TimeRepT = int64_t, typename TimeT = std::milli>
FutureReturnCode spin_until_future_complete(
    const std::shared_ptr<Node>& node, const FutureT& future,
    std::chrono::duration<TimeRepT, TimeT> timeout = std::chrono::duration<TimeRepT, TimeT>(-1)) {
  return detail::spin_until(
      node,
      [&future] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
      std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
}

}  // namespace rclcpp
