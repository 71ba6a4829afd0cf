#include "rclcpp_action/qos.hpp"

namespace rclcpp_action {

DefaultActionStatusQoS::DefaultActionStatusQoS() : rclcpp::QoS(rclcpp::KeepLast(1)) {
  transient_local();
}

}  // namespace rclcpp_action
