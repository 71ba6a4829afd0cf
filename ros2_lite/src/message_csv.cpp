// message_to_csv as rosidl_runtime_py writes it: each value as Python's str() of
// what the generated class holds, driven by introspection.
#include <algorithm>
#include <string>

#include "message_fields.hpp"
#include "message_yaml.hpp"
#include "python_text.hpp"

namespace ros2_lite {
namespace {

using namespace introspection;  // NOLINT: the field helpers are this file's vocabulary

// str() of one primitive. Python holds a float32 as the double of its value, except
// in a fixed-size array, where numpy's float32 prints as the float32 it is.
std::string primitive(uint8_t type_id, const void* v, bool numpy_element,
                      const MessageTextOptions& options) {
  switch (type_id) {
    case ts::ROS_TYPE_BOOLEAN:
      return python_bool(*static_cast<const bool*>(v));
    case ts::ROS_TYPE_OCTET:
      return python_bytes_repr(*static_cast<const uint8_t*>(v));
    case ts::ROS_TYPE_STRING:
    case ts::ROS_TYPE_WSTRING: {
      const std::string text = type_id == ts::ROS_TYPE_STRING
                                   ? *static_cast<const std::string*>(v)
                                   : wide_to_utf8(*static_cast<const std::u16string*>(v));
      if (options.no_str) {
        return "<string length: <" + std::to_string(pyvalue::python_len(text)) + ">>";
      }
      return truncated(text, options.truncate_length);
    }
    default:
      if (type_id == ts::ROS_TYPE_FLOAT && numpy_element) {
        return python_float32(*static_cast<const float*>(v));
      }
      if (is_float(type_id)) {
        return python_float(load_float(type_id, v));
      }
      return pyvalue::int_text(load_int(type_id, v));
  }
}

std::string csv(const MessageMembers& members, const void* message,
                const MessageTextOptions& options);

std::string element(const MessageMember& m, const void* v, bool numpy_element,
                    const MessageTextOptions& options) {
  if (m.type_id_ == ts::ROS_TYPE_MESSAGE) {
    return csv(nested(m), v, options);
  }
  return primitive(m.type_id_, v, numpy_element, options);
}

std::string csv(const MessageMembers& members, const void* message,
                const MessageTextOptions& options) {
  std::string out;
  bool first = true;
  for (const MessageMember* m : fields(members)) {
    if (!first) {
      out += ",";
    }
    first = false;
    const void* field = static_cast<const unsigned char*>(message) + m->offset_;
    if (!m->is_array_) {
      out += element(*m, field, false, options);
      continue;
    }
    const size_t n = element_count(*m, field);
    if (options.no_arr) {
      out += abbreviated_array(*m, n);
      continue;
    }
    for (size_t i = 0; i < n; ++i) {
      if (i > 0) {
        out += ",";
      }
      if (options.truncate_length && i >= *options.truncate_length) {
        out += "...";
        break;
      }
      if (is_bool_vector(*m)) {
        bool b = false;
        m->fetch_function(field, i, &b);
        out += python_bool(b);
      } else {
        out += element(*m, m->get_const_function(field, i), !is_sequence(*m), options);
      }
    }
  }
  return out;
}

}  // namespace

std::string message_to_csv(const MessageMembers& members, const void* message,
                           const MessageTextOptions& options) {
  return csv(members, message, options);
}

}  // namespace ros2_lite
