#pragma once

namespace rclcpp {

// Accepted for source compatibility: command-line arguments and their
// parameter overrides always apply.
class NodeOptions {
 public:
  NodeOptions() = default;
};

}  // namespace rclcpp
