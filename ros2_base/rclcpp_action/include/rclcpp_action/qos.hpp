#pragma once

#include "rclcpp/qos.hpp"

namespace rclcpp_action {

// rcl_action's status topic: keep-last 1, reliable, transient-local, so that a
// client that comes late still gets the goals' latest states.
class DefaultActionStatusQoS : public rclcpp::QoS {
 public:
  DefaultActionStatusQoS();
};

}  // namespace rclcpp_action
