#pragma once

#include <memory>

namespace rclcpp_action {
namespace detail {

// Where a server's or client's callbacks find it: a weak reference that
// create_server or create_client fills once the object is shared, so that a
// callback keeps it alive while it runs and does nothing once it is gone.
template <class Base>
using SelfSlot = std::shared_ptr<std::weak_ptr<Base>>;

template <class Derived, class Base>
std::shared_ptr<Derived> lock_as(const SelfSlot<Base>& slot) {
  return std::static_pointer_cast<Derived>(slot->lock());
}

}  // namespace detail
}  // namespace rclcpp_action
