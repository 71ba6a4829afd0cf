#pragma once

#include <memory>
#include <vector>

#include "command_line.hpp"
#include "rclcpp/node.hpp"

namespace ros2_lite {

// What ros2cli's direct strategy does without a daemon: a hidden node of
// its own that lets discovery run for the spin time before any query.
class DirectNode {
 public:
  // The options every graph verb takes (--spin-time, --use-sim-time, --no-daemon),
  // followed by the verb's own.
  static std::vector<Argument> options(const std::vector<Argument>& own = {});

  explicit DirectNode(const ParsedArgs& args);
  DirectNode(const DirectNode&) = delete;
  DirectNode& operator=(const DirectNode&) = delete;
  ~DirectNode();

  rclcpp::Node& node() { return *node_; }
  const std::shared_ptr<rclcpp::Node>& shared_node() const { return node_; }

 private:
  std::shared_ptr<rclcpp::Node> node_;
};

}  // namespace ros2_lite
