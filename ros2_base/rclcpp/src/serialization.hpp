#pragma once

#include <rosidl_typesupport_introspection_cpp/message_introspection.hpp>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rclcpp_dds {

using MessageMembers = rosidl_typesupport_introspection_cpp::MessageMembers;

// What rmw_cyclonedds_cpp puts ahead of a service request or reply: the
// client's id and the request's sequence number.
struct RequestHeader {
  std::uint64_t guid = 0;
  std::int64_t sequence = 0;
};

// Plain CDR (XCDR1) of any rosidl-generated C++ message, as rmw_cyclonedds_cpp
// puts it on the wire: the 4-byte encapsulation header, then the fields with
// alignment counted from the byte after it, padded to a multiple of 4.
// A request header, if given, goes first.
void serialize(const MessageMembers& members, const void* message, std::vector<unsigned char>& out,
               const RequestHeader* request_header = nullptr);

// Fills a constructed message from `size` bytes, header included; either
// endianness. False, with the message partly written, when the bytes are
// truncated, malformed or exceed a bound of the type. A request header, if
// asked for, is read first.
bool deserialize(const MessageMembers& members, const unsigned char* data, std::size_t size,
                 void* message, RequestHeader* request_header = nullptr);

}  // namespace rclcpp_dds
