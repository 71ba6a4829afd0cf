#include "conversions.hpp"
#include "nav_msgs/msg/Odometry.h"
#include "nav_msgs/msg/odometry.hpp"

namespace ros_interfaces {

static void to_dds(const nav_msgs::msg::Odometry& in, nav_msgs_msg_dds__Odometry_& out) {
  to_dds(in.header, out.header);
  // Serialised before the message can change; no copy needed.
  out.child_frame_id = const_cast<char*>(in.child_frame_id.c_str());
  to_dds(in.pose, out.pose);
  to_dds(in.twist, out.twist);
}

static void from_dds(const nav_msgs_msg_dds__Odometry_& in, nav_msgs::msg::Odometry& out) {
  from_dds(in.header, out.header);
  out.child_frame_id = in.child_frame_id != nullptr ? in.child_frame_id : "";
  from_dds(in.pose, out.pose);
  from_dds(in.twist, out.twist);
}

}  // namespace ros_interfaces

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<nav_msgs::msg::Odometry>() {
  static const TypeSupport support =
      make_type_support<nav_msgs::msg::Odometry, nav_msgs_msg_dds__Odometry_,
                        &ros_interfaces::to_dds, &ros_interfaces::from_dds>(
          &nav_msgs_msg_dds__Odometry__desc);
  return support;
}
}  // namespace rclcpp_dds
