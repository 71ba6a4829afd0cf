#pragma once

#include <rosidl_typesupport_introspection_cpp/message_introspection.hpp>
#include <rosidl_typesupport_introspection_cpp/message_type_support_decl.hpp>

namespace rclcpp_dds {

// rosidl's introspection data for a generated message type: the layer
// serializes every message through it, so any interface package works.
template <class MessageT>
const rosidl_typesupport_introspection_cpp::MessageMembers& message_members() {
  return *static_cast<const rosidl_typesupport_introspection_cpp::MessageMembers*>(
      rosidl_typesupport_introspection_cpp::get_message_type_support_handle<MessageT>()->data);
}

}  // namespace rclcpp_dds
