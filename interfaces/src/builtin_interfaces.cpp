#include "builtin_interfaces/msg/time.hpp"
#include "conversions.hpp"

namespace ros_interfaces {

void to_dds(const builtin_interfaces::msg::Time& in, builtin_interfaces_msg_dds__Time_& out) {
  out.sec = in.sec;
  out.nanosec = in.nanosec;
}

void from_dds(const builtin_interfaces_msg_dds__Time_& in, builtin_interfaces::msg::Time& out) {
  out.sec = in.sec;
  out.nanosec = in.nanosec;
}

}  // namespace ros_interfaces

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<builtin_interfaces::msg::Time>() {
  static const TypeSupport support =
      make_type_support<builtin_interfaces::msg::Time, builtin_interfaces_msg_dds__Time_,
                        &ros_interfaces::to_dds, &ros_interfaces::from_dds>(
          &builtin_interfaces_msg_dds__Time__desc);
  return support;
}
}  // namespace rclcpp_dds
