// message_to_yaml as rosidl_runtime_py writes it, driven by rosidl's introspection
// data: nothing here knows a message type.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "message_fields.hpp"
#include "message_yaml.hpp"
#include "python_text.hpp"
#include "yaml_emit.hpp"

namespace ros2_lite {
namespace {

using namespace introspection;  // NOLINT: the field helpers are this file's vocabulary
using pyvalue::int_text;

// PyYAML's represent_float.
std::string yaml_float(double v, bool as_float32) {
  if (std::isnan(v)) {
    return ".nan";
  }
  if (std::isinf(v)) {
    return v > 0 ? ".inf" : "-.inf";
  }
  std::string text = as_float32 ? python_float32(static_cast<float>(v)) : python_float(v);
  if (text.find('.') == std::string::npos && text.find('e') != std::string::npos) {
    text.replace(text.find('e'), 1, ".0e");
  }
  return text;
}

const EmitStyle kDumpStyle{true, SIZE_MAX};

// The text of a string field as rosidl_runtime_py converts it: its length noted or cut.
std::string converted_str(const std::string& text, const MessageTextOptions& options) {
  if (options.no_str) {
    return "<string length: <" + std::to_string(pyvalue::python_len(text)) + ">>";
  }
  return truncated(text, options.truncate_length);
}

class YamlWriter {
 public:
  YamlWriter(bool as_given, MessageTextOptions options = {})
      : as_given_(as_given), options_(options) {}

  std::string out;

  // The fields as a block mapping whose keys start at `indent`; the first key goes
  // where the writer stands when `inline_first` (after "- ").
  void mapping(const MessageMembers& members, const void* message, size_t indent,
               bool inline_first) {
    const auto visible = fields(members);
    if (visible.empty()) {
      out += inline_first ? "{}\n" : std::string(indent, ' ') + "{}\n";
      return;
    }
    bool first = true;
    for (const MessageMember* m : visible) {
      if (!(first && inline_first)) {
        out += std::string(indent, ' ');
      }
      first = false;
      out += m->name_;
      out += ":";
      member(*m, static_cast<const unsigned char*>(message) + m->offset_, indent);
    }
  }

 private:
  // After "key:": a scalar or an empty collection on the line, else the block below.
  void member(const MessageMember& m, const void* field, size_t indent) {
    if (!m.is_array_) {
      value(m, field, indent);
      return;
    }
    const size_t n = element_count(m, field);
    if (options_.no_arr) {
      out += emit_str(abbreviated_array(m, n), 0, indent + 2, false, kDumpStyle) + "\n";
      return;
    }
    if (n == 0) {
      out += " []\n";
      return;
    }
    out += "\n";
    const size_t shown = std::min(n, options_.truncate_length.value_or(n));
    // A sequence in a mapping is not indented.
    for (size_t i = 0; i < shown; ++i) {
      out += std::string(indent, ' ') + "-";
      if (is_bool_vector(m)) {
        bool b = false;
        m.fetch_function(field, i, &b);
        out += b ? " true\n" : " false\n";
      } else {
        value(m, m.get_const_function(field, i), indent);
      }
    }
    if (shown < n) {
      out += std::string(indent, ' ') + "- '...'\n";
    }
  }

  // One value after "key:" or "-": the writer stands right after the indicator.
  void value(const MessageMember& m, const void* v, size_t indent) {
    if (m.type_id_ == ts::ROS_TYPE_MESSAGE) {
      const bool in_sequence = out.back() == '-';
      if (fields(nested(m)).empty()) {
        out += " {}\n";
      } else if (in_sequence) {
        out += " ";
        mapping(nested(m), v, indent + 2, true);
      } else {
        out += "\n";
        mapping(nested(m), v, indent + 2, false);
      }
      return;
    }
    // Python keeps arrays of float32 as float32: only a single field holds what it was given.
    const bool as_given = as_given_ && !m.is_array_ && m.type_id_ == ts::ROS_TYPE_FLOAT;
    out += scalar(m.type_id_, v, as_given, indent + 2) + "\n";
  }

  // `indent`: where a quoted string continues after a line break in it.
  std::string scalar(uint8_t type_id, const void* v, bool as_given, size_t indent) const {
    switch (type_id) {
      case ts::ROS_TYPE_BOOLEAN:
        return *static_cast<const bool*>(v) ? " true" : " false";
      case ts::ROS_TYPE_OCTET:
        // bytes become the str of their characters.
        return emit_str(truncated(utf8(*static_cast<const uint8_t*>(v)), options_.truncate_length),
                        0, indent, false, kDumpStyle);
      case ts::ROS_TYPE_STRING:
        return emit_str(converted_str(*static_cast<const std::string*>(v), options_), 0, indent,
                        false, kDumpStyle);
      case ts::ROS_TYPE_WSTRING:
        return emit_str(
            converted_str(wide_to_utf8(*static_cast<const std::u16string*>(v)), options_), 0,
            indent, false, kDumpStyle);
      default:
        if (is_float(type_id)) {
          return " " + yaml_float(load_float(type_id, v), as_given);
        }
        return " " + int_text(load_int(type_id, v));
    }
  }

  bool as_given_;
  MessageTextOptions options_;
};

}  // namespace

std::string message_to_yaml(const MessageMembers& members, const void* message, bool as_given) {
  YamlWriter writer(as_given);
  writer.mapping(members, message, 0, false);
  return writer.out;
}

std::string message_to_yaml(const MessageMembers& members, const void* message,
                            const MessageTextOptions& options) {
  YamlWriter writer(false, options);
  writer.mapping(members, message, 0, false);
  return writer.out;
}

}  // namespace ros2_lite
