// repr() of a message as rosidl's generated Python classes write it, driven by
// rosidl's introspection data: what `ros2 service call` prints of its request
// and of the response.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "message_fields.hpp"
#include "message_yaml.hpp"
#include "python_text.hpp"

namespace ros2_lite {
namespace {

using namespace introspection;  // NOLINT: the field helpers are this file's vocabulary
using pyvalue::int_text;

// The types rosidl keeps in array.array (sequences) or numpy arrays (fixed arrays).
bool is_numeric(uint8_t type_id) {
  switch (type_id) {
    case ts::ROS_TYPE_BOOLEAN:
    case ts::ROS_TYPE_OCTET:
    case ts::ROS_TYPE_CHAR:
    case ts::ROS_TYPE_STRING:
    case ts::ROS_TYPE_WSTRING:
    case ts::ROS_TYPE_MESSAGE:
      return false;
    default:
      return true;
  }
}

// numpy's name of the element type, as its repr adds it; int64 and float64 go without.
std::string numpy_dtype(uint8_t type_id) {
  switch (type_id) {
    case ts::ROS_TYPE_FLOAT:
      return "float32";
    case ts::ROS_TYPE_INT8:
      return "int8";
    case ts::ROS_TYPE_UINT8:
      return "uint8";
    case ts::ROS_TYPE_INT16:
      return "int16";
    case ts::ROS_TYPE_UINT16:
      return "uint16";
    case ts::ROS_TYPE_INT32:
      return "int32";
    case ts::ROS_TYPE_UINT32:
      return "uint32";
    case ts::ROS_TYPE_UINT64:
      return "uint64";
    default:
      return "";
  }
}

// numpy prints a float array's elements aligned on the decimal point: "1." and "2.5"
// become "1. " and "2.5".
std::vector<std::string> numpy_floats(const std::vector<double>& values) {
  std::vector<std::string> texts;
  size_t int_width = 0, frac_width = 0;
  for (const double v : values) {
    std::string text = python_float(v);
    if (std::isfinite(v) && text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) {
      text.pop_back();
    }
    const size_t dot = std::min(text.find('.'), text.size());
    int_width = std::max(int_width, dot);
    frac_width = std::max(frac_width, text.size() - dot);
    texts.push_back(text);
  }
  for (auto& text : texts) {
    const size_t dot = std::min(text.find('.'), text.size());
    text = std::string(int_width - dot, ' ') + text +
           std::string(frac_width - (text.size() - dot), ' ');
  }
  return texts;
}

class ReprWriter {
 public:
  explicit ReprWriter(bool as_given) : as_given_(as_given) {}

  std::string message(const MessageMembers& members, const void* message) {
    std::string ns = members.message_namespace_;
    for (size_t colons; (colons = ns.find("::")) != std::string::npos;) {
      ns.replace(colons, 2, ".");
    }
    std::string out = ns + "." + members.message_name_ + "(";
    bool first = true;
    for (const MessageMember* m : fields(members)) {
      out += first ? "" : ", ";
      first = false;
      out += std::string(m->name_) + "=" +
             field(*m, static_cast<const unsigned char*>(message) + m->offset_);
    }
    return out + ")";
  }

 private:
  std::string field(const MessageMember& m, const void* f) {
    if (!m.is_array_) {
      // A float32 Python filled itself holds the double it was given.
      return value(m, f, as_given_);
    }
    const size_t n = element_count(m, f);
    std::vector<std::string> items;
    std::vector<double> floats;
    for (size_t i = 0; i < n; ++i) {
      if (is_bool_vector(m)) {
        bool b = false;
        m.fetch_function(f, i, &b);
        items.push_back(python_bool(b));
      } else if (!is_sequence(m) && is_float(m.type_id_)) {
        floats.push_back(load_float(m.type_id_, m.get_const_function(f, i)));
      } else {
        items.push_back(value(m, m.get_const_function(f, i), false));
      }
    }
    if (is_sequence(m) || !is_numeric(m.type_id_)) {
      return "[" + joined(items, [](const std::string& s) { return s; }) + "]";
    }
    // A fixed array of numbers is a numpy array.
    if (!floats.empty()) {
      items = numpy_floats(floats);
    } else {
      size_t width = 0;
      for (const auto& item : items) {
        width = std::max(width, item.size());
      }
      for (auto& item : items) {
        item = std::string(width - item.size(), ' ') + item;
      }
    }
    const std::string dtype = numpy_dtype(m.type_id_);
    return "array([" + joined(items, [](const std::string& s) { return s; }) + "]" +
           (dtype.empty() ? "" : ", dtype=" + dtype) + ")";
  }

  std::string value(const MessageMember& m, const void* v, bool as_given) {
    switch (m.type_id_) {
      case ts::ROS_TYPE_MESSAGE:
        return message(nested(m), v);
      case ts::ROS_TYPE_BOOLEAN:
        return python_bool(*static_cast<const bool*>(v));
      case ts::ROS_TYPE_OCTET:
        return python_bytes_repr(*static_cast<const uint8_t*>(v));
      case ts::ROS_TYPE_STRING:
        return python_str_repr(*static_cast<const std::string*>(v));
      case ts::ROS_TYPE_WSTRING:
        return python_str_repr(wide_to_utf8(*static_cast<const std::u16string*>(v)));
      case ts::ROS_TYPE_FLOAT:
        if (as_given) {
          return python_float32(*static_cast<const float*>(v));
        }
        return python_float(load_float(m.type_id_, v));
      default:
        if (is_float(m.type_id_)) {
          return python_float(load_float(m.type_id_, v));
        }
        return int_text(load_int(m.type_id_, v));
    }
  }

  bool as_given_;
};

}  // namespace

std::string message_repr(const MessageMembers& members, const void* message, bool as_given) {
  return ReprWriter(as_given).message(members, message);
}

}  // namespace ros2_lite
