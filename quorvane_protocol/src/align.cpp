#include "quorvane_protocol/msg/Align.h"
#include "quorvane_protocol/msg/align.hpp"

namespace {

void to_dds(const quorvane_protocol::msg::Align& in, quorvane_protocol_msg_dds__Align_& out) {
  out.enable = in.enable;
  out.action = in.action;
  out.success = in.success;
}

void from_dds(const quorvane_protocol_msg_dds__Align_& in, quorvane_protocol::msg::Align& out) {
  out.enable = in.enable;
  out.action = in.action;
  out.success = in.success;
}

}  // namespace

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<quorvane_protocol::msg::Align>() {
  static const TypeSupport support =
      make_type_support<quorvane_protocol::msg::Align, quorvane_protocol_msg_dds__Align_, &to_dds,
                        &from_dds>(&quorvane_protocol_msg_dds__Align__desc);
  return support;
}
}  // namespace rclcpp_dds
