// The repr of a message as rosidl's generated Python classes write it: sequences of
// numbers as array.array holds them, fixed-size arrays as numpy prints them.
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

std::string repr(const MessageMembers& members, const void* message, bool as_given);

bool is_number(uint8_t type_id) {
  return type_id != ts::ROS_TYPE_BOOLEAN && type_id != ts::ROS_TYPE_OCTET &&
         type_id != ts::ROS_TYPE_STRING && type_id != ts::ROS_TYPE_WSTRING &&
         type_id != ts::ROS_TYPE_MESSAGE;
}

// A single float32 field of a message Python filled itself holds the float it was given;
// received, or in an array, it is the double the float32 widens to.
std::string scalar(const MessageMember& m, const void* v, bool single, bool as_given) {
  switch (m.type_id_) {
    case ts::ROS_TYPE_BOOLEAN:
      return python_bool(*static_cast<const bool*>(v));
    case ts::ROS_TYPE_OCTET:
      return python_bytes_repr(*static_cast<const uint8_t*>(v));
    case ts::ROS_TYPE_STRING:
      return python_str_repr(*static_cast<const std::string*>(v));
    case ts::ROS_TYPE_WSTRING:
      return python_str_repr(wide_to_utf8(*static_cast<const std::u16string*>(v)));
    case ts::ROS_TYPE_MESSAGE:
      return repr(nested(m), v, as_given);
    default:
      if (m.type_id_ == ts::ROS_TYPE_FLOAT && single && as_given) {
        return python_float32(*static_cast<const float*>(v));
      }
      if (is_float(m.type_id_)) {
        return python_float(load_float(m.type_id_, v));
      }
      return pyvalue::int_text(load_int(m.type_id_, v));
  }
}

// numpy's positional float format over a whole array: the integer parts right-aligned,
// the fractions left-aligned, "1." for a whole number.
std::vector<std::string> numpy_floats(const std::vector<double>& values, bool as_float32) {
  std::vector<std::pair<std::string, std::string>> split;
  size_t left = 0;
  size_t right = 0;
  for (const double v : values) {
    std::string text = as_float32 ? python_float32(static_cast<float>(v)) : python_float(v);
    if (!std::isfinite(v)) {
      split.emplace_back(text, "");
      left = std::max(left, text.size());
      continue;
    }
    const size_t dot = text.find('.');
    std::string whole = text.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    if (fraction == "0") {
      fraction.clear();
    }
    left = std::max(left, whole.size());
    right = std::max(right, fraction.size());
    split.emplace_back(whole + ".", fraction);
  }
  std::vector<std::string> out;
  for (auto& [whole, fraction] : split) {
    const size_t whole_width = whole.back() == '.' ? left + 1 : left;
    std::string text = std::string(whole_width - std::min(whole_width, whole.size()), ' ') + whole;
    if (whole.back() == '.') {
      text += fraction + std::string(right - fraction.size(), ' ');
    } else {
      text += std::string(right + 1, ' ');
    }
    out.push_back(text);
  }
  return out;
}

std::string numpy_dtype(uint8_t type_id) {
  switch (type_id) {
    case ts::ROS_TYPE_FLOAT:
      return "float32";
    case ts::ROS_TYPE_INT8:
      return "int8";
    case ts::ROS_TYPE_UINT8:
      return "uint8";
    case ts::ROS_TYPE_CHAR:
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
      return "";  // float64, int64 and bool: numpy's defaults, not shown
  }
}

// repr of a numpy array: lines wrapped at 75 columns, continued under the first element.
std::string numpy_repr(const std::vector<std::string>& words, const std::string& dtype) {
  const std::string hanging(7, ' ');
  const size_t width = 75 - 1 - 1;
  std::string text;
  std::string line = hanging;
  for (size_t i = 0; i < words.size(); ++i) {
    if (line.size() + words[i].size() > width && line.size() > hanging.size()) {
      text += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
      line = hanging;
    }
    line += words[i];
    if (i + 1 < words.size()) {
      line += ", ";
    }
  }
  text += line;
  std::string out = "array([" + text.substr(hanging.size()) + "]";
  if (dtype.empty()) {
    return out + ")";
  }
  out += ",";
  const size_t last_line =
      out.size() - (out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1);
  const std::string dtype_text = "dtype=" + dtype + ")";
  return out + (last_line + dtype_text.size() + 1 > 75 ? "\n" + std::string(6, ' ') : " ") +
         dtype_text;
}

std::string fixed_array(const MessageMember& m, const void* field) {
  const size_t n = element_count(m, field);
  std::vector<std::string> words;
  if (is_float(m.type_id_)) {
    std::vector<double> values;
    for (size_t i = 0; i < n; ++i) {
      values.push_back(load_float(m.type_id_, m.get_const_function(field, i)));
    }
    words = numpy_floats(values, m.type_id_ == ts::ROS_TYPE_FLOAT);
  } else {
    size_t widest = 0;
    for (size_t i = 0; i < n; ++i) {
      words.push_back(scalar(m, m.get_const_function(field, i), false, false));
      widest = std::max(widest, words.back().size());
    }
    for (auto& word : words) {
      word = std::string(widest - word.size(), ' ') + word;
    }
  }
  if (n == 0) {
    return "array([], dtype=" +
           (numpy_dtype(m.type_id_).empty() ? "float64" : numpy_dtype(m.type_id_)) + ")";
  }
  return numpy_repr(words, numpy_dtype(m.type_id_));
}

std::string field_repr(const MessageMember& m, const void* field, bool as_given) {
  if (!m.is_array_) {
    return scalar(m, field, true, as_given);
  }
  const bool numeric = is_number(m.type_id_);
  if (!is_sequence(m) && (numeric || m.type_id_ == ts::ROS_TYPE_BOOLEAN)) {
    return fixed_array(m, field);
  }
  // Sequences of numbers are array.array, shown without their "array('d', ...)".
  std::string out = "[";
  const size_t n = element_count(m, field);
  for (size_t i = 0; i < n; ++i) {
    out += i == 0 ? "" : ", ";
    if (is_bool_vector(m)) {
      bool b = false;
      m.fetch_function(field, i, &b);
      out += python_bool(b);
    } else {
      out += scalar(m, m.get_const_function(field, i), false, as_given);
    }
  }
  return out + "]";
}

std::string repr(const MessageMembers& members, const void* message, bool as_given) {
  std::string type = message_type_name(members);
  std::replace(type.begin(), type.end(), '/', '.');
  std::string out = type + "(";
  bool first = true;
  for (const MessageMember* m : fields(members)) {
    out += first ? "" : ", ";
    first = false;
    out += std::string(m->name_) + "=" +
           field_repr(*m, static_cast<const unsigned char*>(message) + m->offset_, as_given);
  }
  return out + ")";
}

}  // namespace

std::string message_repr(const MessageMembers& members, const void* message, bool as_given) {
  return repr(members, message, as_given);
}

std::string message_field_repr(const MessageMember& m, const void* field) {
  return field_repr(m, field, false);
}

}  // namespace ros2_lite
