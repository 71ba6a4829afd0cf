#pragma once

#include <rosidl_typesupport_introspection_cpp/field_types.hpp>
#include <rosidl_typesupport_introspection_cpp/message_introspection.hpp>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "python_value.hpp"

// The fields of a message as rosidl's introspection data lays them out in memory,
// the common ground of message_to_yaml and set_message_fields.
namespace ros2_lite::introspection {

namespace ts = rosidl_typesupport_introspection_cpp;
using pyvalue::PyInt;
using ts::MessageMember;
using ts::MessageMembers;

// The members of a message-typed field.
const MessageMembers& nested(const MessageMember& m);
// The fields Python sees: not the placeholder rosidl gives an empty message.
std::vector<const MessageMember*> fields(const MessageMembers& members);
bool is_sequence(const MessageMember& m);
// std::vector<bool> has no element pointers: its elements go through fetch and assign.
bool is_bool_vector(const MessageMember& m);
size_t element_count(const MessageMember& m, const void* field);
bool is_float(uint8_t type_id);

// Calls f with a value of the C++ type of an integer field (a byte or char is a uint8_t).
template <class F>
auto with_int_type(uint8_t type_id, F f) {
  switch (type_id) {
    case ts::ROS_TYPE_INT8:
      return f(int8_t{});
    case ts::ROS_TYPE_INT16:
      return f(int16_t{});
    case ts::ROS_TYPE_UINT16:
      return f(uint16_t{});
    case ts::ROS_TYPE_INT32:
      return f(int32_t{});
    case ts::ROS_TYPE_UINT32:
      return f(uint32_t{});
    case ts::ROS_TYPE_INT64:
      return f(int64_t{});
    case ts::ROS_TYPE_UINT64:
      return f(uint64_t{});
    default:
      return f(uint8_t{});
  }
}

struct IntRange {
  PyInt min;
  PyInt max;
};

// The values an integer field's type holds.
IntRange int_range(uint8_t type_id);

// One primitive of a field's type, in memory.
PyInt load_int(uint8_t type_id, const void* p);
void store_int(uint8_t type_id, void* p, PyInt v);
double load_float(uint8_t type_id, const void* p);
void store_float(uint8_t type_id, void* p, double v);

// A wstring field holds UTF-16; Python's str is code points.
std::string wide_to_utf8(const std::u16string& wide);
std::u16string utf8_to_wide(const std::string& text);

// Text cut to `length` code points followed by "...", if it is longer.
std::string truncated(const std::string& utf8_text, std::optional<size_t> length);

}  // namespace ros2_lite::introspection
