#include "message_fields.hpp"

#include <cstring>
#include <limits>

#include "message_yaml.hpp"
#include "python_text.hpp"

namespace ros2_lite::introspection {

const MessageMembers& nested(const MessageMember& m) {
  return *static_cast<const MessageMembers*>(m.members_->data);
}

std::vector<const MessageMember*> fields(const MessageMembers& members) {
  std::vector<const MessageMember*> out;
  for (uint32_t i = 0; i < members.member_count_; ++i) {
    const MessageMember& m = members.members_[i];
    if (!(members.member_count_ == 1 &&
          std::strcmp(m.name_, "structure_needs_at_least_one_member") == 0)) {
      out.push_back(&m);
    }
  }
  return out;
}

bool is_sequence(const MessageMember& m) { return m.array_size_ == 0 || m.is_upper_bound_; }
bool is_bool_vector(const MessageMember& m) { return m.get_const_function == nullptr; }

size_t element_count(const MessageMember& m, const void* field) {
  return is_sequence(m) ? m.size_function(field) : m.array_size_;
}

IntRange int_range(uint8_t type_id) {
  return with_int_type(type_id, [](auto t) {
    using T = decltype(t);
    return IntRange{std::numeric_limits<T>::min(), std::numeric_limits<T>::max()};
  });
}

PyInt load_int(uint8_t type_id, const void* p) {
  return with_int_type(type_id, [p](auto t) { return PyInt(*static_cast<const decltype(t)*>(p)); });
}

void store_int(uint8_t type_id, void* p, PyInt v) {
  with_int_type(type_id, [p, v](auto t) {
    using T = decltype(t);
    *static_cast<T*>(p) = static_cast<T>(v);
  });
}

bool is_float(uint8_t type_id) {
  return type_id == ts::ROS_TYPE_FLOAT || type_id == ts::ROS_TYPE_DOUBLE ||
         type_id == ts::ROS_TYPE_LONG_DOUBLE;
}

double load_float(uint8_t type_id, const void* p) {
  if (type_id == ts::ROS_TYPE_FLOAT) {
    return *static_cast<const float*>(p);
  }
  if (type_id == ts::ROS_TYPE_LONG_DOUBLE) {
    return static_cast<double>(*static_cast<const long double*>(p));
  }
  return *static_cast<const double*>(p);
}

void store_float(uint8_t type_id, void* p, double v) {
  if (type_id == ts::ROS_TYPE_FLOAT) {
    *static_cast<float*>(p) = static_cast<float>(v);
  } else if (type_id == ts::ROS_TYPE_LONG_DOUBLE) {
    *static_cast<long double*>(p) = v;
  } else {
    *static_cast<double*>(p) = v;
  }
}

std::string wide_to_utf8(const std::u16string& wide) {
  std::string out;
  for (size_t i = 0; i < wide.size(); ++i) {
    uint32_t code = wide[i];
    if (code >= 0xd800 && code < 0xdc00 && i + 1 < wide.size() && wide[i + 1] >= 0xdc00 &&
        wide[i + 1] < 0xe000) {
      code = 0x10000 + ((code - 0xd800) << 10) + (wide[++i] - 0xdc00);
    }
    out += utf8(code);
  }
  return out;
}

std::u16string utf8_to_wide(const std::string& text) {
  std::u16string out;
  for (const uint32_t code : code_points(text).value_or(std::vector<uint32_t>{})) {
    if (code >= 0x10000) {
      out += static_cast<char16_t>(0xd800 + ((code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xdc00 + ((code - 0x10000) & 0x3ff));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

std::string truncated(const std::string& utf8_text, std::optional<size_t> length) {
  if (!length) {
    return utf8_text;
  }
  const auto points = code_points(utf8_text);
  if (!points || points->size() <= *length) {
    return utf8_text;
  }
  std::string out;
  for (size_t i = 0; i < *length; ++i) {
    out += utf8((*points)[i]);
  }
  return out + "...";
}

}  // namespace ros2_lite::introspection

namespace ros2_lite {

std::string message_type_name(const MessageMembers& members) {
  std::string space = members.message_namespace_;
  for (size_t colons; (colons = space.find("::")) != std::string::npos;) {
    space.replace(colons, 2, "/");
  }
  return space + "/" + members.message_name_;
}

std::string abbreviated_array(const introspection::MessageMember& m, size_t length) {
  namespace ts = rosidl_typesupport_introspection_cpp;
  std::string type;
  switch (m.type_id_) {
    case ts::ROS_TYPE_FLOAT:
      type = "float";
      break;
    case ts::ROS_TYPE_DOUBLE:
      type = "double";
      break;
    case ts::ROS_TYPE_LONG_DOUBLE:
      type = "long double";
      break;
    case ts::ROS_TYPE_CHAR:
      type = "char";
      break;
    case ts::ROS_TYPE_WCHAR:
      type = "wchar";
      break;
    case ts::ROS_TYPE_BOOLEAN:
      type = "boolean";
      break;
    case ts::ROS_TYPE_OCTET:
      type = "octet";
      break;
    case ts::ROS_TYPE_UINT8:
      type = "uint8";
      break;
    case ts::ROS_TYPE_INT8:
      type = "int8";
      break;
    case ts::ROS_TYPE_UINT16:
      type = "uint16";
      break;
    case ts::ROS_TYPE_INT16:
      type = "int16";
      break;
    case ts::ROS_TYPE_UINT32:
      type = "uint32";
      break;
    case ts::ROS_TYPE_INT32:
      type = "int32";
      break;
    case ts::ROS_TYPE_UINT64:
      type = "uint64";
      break;
    case ts::ROS_TYPE_INT64:
      type = "int64";
      break;
    case ts::ROS_TYPE_STRING:
      type = "string";
      break;
    case ts::ROS_TYPE_WSTRING:
      type = "wstring";
      break;
    case ts::ROS_TYPE_MESSAGE:
      type = message_type_name(introspection::nested(m));
      break;
    default:
      type = "unknown";
  }
  if (!introspection::is_sequence(m)) {
    return "<array type: " + type + "[" + std::to_string(m.array_size_) + "]>";
  }
  if (m.is_upper_bound_) {
    return "<sequence type: " + type + "[" + std::to_string(m.array_size_) +
           "], length: " + std::to_string(length) + ">";
  }
  return "<sequence type: " + type + ", length: " + std::to_string(length) + ">";
}

}  // namespace ros2_lite
