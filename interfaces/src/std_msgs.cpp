#include "conversions.hpp"
#include "std_msgs/msg/header.hpp"

namespace ros_interfaces {

void to_dds(const std_msgs::msg::Header& in, std_msgs_msg_dds__Header_& out) {
  to_dds(in.stamp, out.stamp);
  // Serialised before the message can change; no copy needed.
  out.frame_id = const_cast<char*>(in.frame_id.c_str());
}

void from_dds(const std_msgs_msg_dds__Header_& in, std_msgs::msg::Header& out) {
  from_dds(in.stamp, out.stamp);
  out.frame_id = in.frame_id != nullptr ? in.frame_id : "";
}

}  // namespace ros_interfaces

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<std_msgs::msg::Header>() {
  static const TypeSupport support =
      make_type_support<std_msgs::msg::Header, std_msgs_msg_dds__Header_, &ros_interfaces::to_dds,
                        &ros_interfaces::from_dds>(&std_msgs_msg_dds__Header__desc);
  return support;
}
}  // namespace rclcpp_dds
