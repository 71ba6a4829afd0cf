#pragma once

#include <memory>

#include "rclcpp/node.hpp"

namespace rclcpp {

// Runs the work ready now: each subscription of the node, in creation order,
// delivers at most one waiting message. Returns at once when not ok().
void spin_some(const std::shared_ptr<Node>& node);

}  // namespace rclcpp
