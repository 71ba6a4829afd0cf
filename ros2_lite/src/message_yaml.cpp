// Messages to and from YAML as rosidl_runtime_py does it, driven by rosidl's
// introspection data: nothing here knows a message type.
#include "message_yaml.hpp"

#include <rosidl_typesupport_introspection_cpp/field_types.hpp>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "python_text.hpp"
#include "yaml_emit.hpp"

namespace ros2_lite {
namespace {

namespace ts = rosidl_typesupport_introspection_cpp;
using ts::MessageMember;
using Int = __int128;

// ---------------------------------------------------------------- common

const MessageMembers& nested(const MessageMember& m) {
  return *static_cast<const MessageMembers*>(m.members_->data);
}

// The fields Python sees: not the placeholder rosidl gives an empty message.
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
  Int min;
  Int max;
};

IntRange int_range(uint8_t type_id) {
  return with_int_type(type_id, [](auto t) {
    using T = decltype(t);
    return IntRange{std::numeric_limits<T>::min(), std::numeric_limits<T>::max()};
  });
}

Int load_int(uint8_t type_id, const void* p) {
  return with_int_type(type_id, [p](auto t) { return Int(*static_cast<const decltype(t)*>(p)); });
}

void store_int(uint8_t type_id, void* p, Int v) {
  with_int_type(type_id, [p, v](auto t) {
    using T = decltype(t);
    *static_cast<T*>(p) = static_cast<T>(v);
  });
}

bool is_float(uint8_t type_id) {
  return type_id == ts::ROS_TYPE_FLOAT || type_id == ts::ROS_TYPE_DOUBLE ||
         type_id == ts::ROS_TYPE_LONG_DOUBLE;
}

std::string int_text(Int v) {
  if (v == 0) {
    return "0";
  }
  const bool negative = v < 0;
  std::string digits;
  for (; v != 0; v /= 10) {
    digits.insert(digits.begin(), static_cast<char>('0' + (negative ? -(v % 10) : v % 10)));
  }
  return (negative ? "-" : "") + digits;
}

// Reads and writes one floating-point primitive.
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

// ---------------------------------------------------------------- to YAML

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

class YamlWriter {
 public:
  explicit YamlWriter(bool as_given) : as_given_(as_given) {}

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
    if (n == 0) {
      out += " []\n";
      return;
    }
    out += "\n";
    // A sequence in a mapping is not indented.
    for (size_t i = 0; i < n; ++i) {
      out += std::string(indent, ' ') + "-";
      if (is_bool_vector(m)) {
        bool b = false;
        m.fetch_function(field, i, &b);
        out += b ? " true\n" : " false\n";
      } else {
        value(m, m.get_const_function(field, i), indent);
      }
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
  static std::string scalar(uint8_t type_id, const void* v, bool as_given, size_t indent) {
    switch (type_id) {
      case ts::ROS_TYPE_BOOLEAN:
        return *static_cast<const bool*>(v) ? " true" : " false";
      case ts::ROS_TYPE_OCTET:
        // bytes become the str of their characters.
        return emit_str(utf8(*static_cast<const uint8_t*>(v)), 0, indent, false, kDumpStyle);
      case ts::ROS_TYPE_STRING:
        return emit_str(*static_cast<const std::string*>(v), 0, indent, false, kDumpStyle);
      case ts::ROS_TYPE_WSTRING:
        return emit_str(wide_to_utf8(*static_cast<const std::u16string*>(v)), 0, indent, false,
                        kDumpStyle);
      default:
        if (is_float(type_id)) {
          return " " + yaml_float(load_float(type_id, v), as_given);
        }
        return " " + int_text(load_int(type_id, v));
    }
  }

  bool as_given_;
};

// ---------------------------------------------------------------- from YAML

// An exception as Python raises it; reported as its repr.
struct PyError {
  std::string type;
  std::string message;
};

[[noreturn]] void raise(const std::string& type, const std::string& message) {
  throw PyError{type, message};
}

// The constructor of the field's Python type raised TypeError: set_message_fields then
// fills a fresh value of that type from the YAML value as from a dict.
struct NotConvertible {};

std::string python_type(const YamlNode& v) {
  if (v.pairs) return "dict";
  if (v.items) return "list";
  switch (v.scalar.index()) {
    case 0:
      return "NoneType";
    case 1:
      return "bool";
    case 2:
      return "int";
    case 3:
      return "float";
    default:
      return "str";
  }
}

std::string python_text(const YamlNode& v, bool repr) {
  if (v.items || v.pairs) {
    std::string out;
    if (v.items) {
      out = "[" + joined(*v.items, [](const YamlNode& item) { return python_text(item, true); }) +
            "]";
    } else {
      out = "{" +
            joined(*v.pairs,
                   [](const YamlPair& pair) {
                     return python_text(pair.first, true) + ": " + python_text(pair.second, true);
                   }) +
            "}";
    }
    return out;
  }
  if (const auto* b = std::get_if<bool>(&v.scalar)) return python_bool(*b);
  if (const auto* i = std::get_if<int64_t>(&v.scalar)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&v.scalar)) return python_float(*d);
  if (const auto* s = std::get_if<std::string>(&v.scalar)) return repr ? python_str_repr(*s) : *s;
  return "None";
}

std::string python_str(const YamlNode& v) { return python_text(v, false); }

bool is_str(const YamlNode& v) {
  return !v.items && !v.pairs && std::holds_alternative<std::string>(v.scalar);
}

// What iterating the value gives: a list's items, a dict's keys, a str's characters.
std::optional<std::vector<YamlNode>> iterated(const YamlNode& v) {
  if (v.items) {
    return *v.items;
  }
  std::vector<YamlNode> out;
  if (v.pairs) {
    for (const auto& pair : *v.pairs) out.push_back(pair.first);
    return out;
  }
  if (const auto* s = std::get_if<std::string>(&v.scalar)) {
    for (const uint32_t code : code_points(*s).value_or(std::vector<uint32_t>{})) {
      out.push_back(YamlNode{utf8(code), std::nullopt, std::nullopt});
    }
    return out;
  }
  return std::nullopt;
}

size_t python_len(const std::string& text) {
  return code_points(text).value_or(std::vector<uint32_t>(text.size())).size();
}

// int(text): whitespace around, a sign, decimal digits with single underscores between them.
std::optional<Int> parse_int(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\n\r\f\v");
  const size_t end = text.find_last_not_of(" \t\n\r\f\v");
  if (begin == std::string::npos) return std::nullopt;
  size_t i = begin;
  const bool negative = text[i] == '-';
  if (text[i] == '-' || text[i] == '+') ++i;
  Int value = 0;
  bool digit_before = false;
  for (; i <= end; ++i) {
    const char c = text[i];
    if (c == '_' && digit_before && i + 1 <= end &&
        std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
      continue;
    }
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    digit_before = true;
    // Beyond what any field takes: kept past every range.
    if (value < (Int(1) << 100)) value = value * 10 + (c - '0');
  }
  if (!digit_before) return std::nullopt;
  return negative ? -value : value;
}

// int(value), or NotConvertible where int() raises TypeError.
Int to_int(const YamlNode& v) {
  if (v.items || v.pairs) throw NotConvertible{};
  if (const auto* b = std::get_if<bool>(&v.scalar)) return *b ? 1 : 0;
  if (const auto* i = std::get_if<int64_t>(&v.scalar)) return *i;
  if (const auto* d = std::get_if<double>(&v.scalar)) {
    if (std::isinf(*d)) raise("OverflowError", "cannot convert float infinity to integer");
    if (std::isnan(*d)) raise("ValueError", "cannot convert float NaN to integer");
    return static_cast<Int>(std::trunc(*d));
  }
  if (const auto* s = std::get_if<std::string>(&v.scalar)) {
    if (auto parsed = parse_int(*s)) return *parsed;
    raise("ValueError", "invalid literal for int() with base 10: " + python_str_repr(*s));
  }
  throw NotConvertible{};
}

double to_float(const YamlNode& v) {
  if (v.items || v.pairs) throw NotConvertible{};
  if (const auto* b = std::get_if<bool>(&v.scalar)) return *b ? 1.0 : 0.0;
  if (const auto* i = std::get_if<int64_t>(&v.scalar)) return static_cast<double>(*i);
  if (const auto* d = std::get_if<double>(&v.scalar)) return *d;
  if (const auto* s = std::get_if<std::string>(&v.scalar)) {
    if (auto parsed = python_float_value(*s)) return *parsed;
    raise("ValueError", "could not convert string to float: " + python_str_repr(*s));
  }
  throw NotConvertible{};
}

bool truthy(const YamlNode& v) {
  if (v.items) return !v.items->empty();
  if (v.pairs) return !v.pairs->empty();
  if (const auto* b = std::get_if<bool>(&v.scalar)) return *b;
  if (const auto* i = std::get_if<int64_t>(&v.scalar)) return *i != 0;
  if (const auto* d = std::get_if<double>(&v.scalar)) return *d != 0.0;
  if (const auto* s = std::get_if<std::string>(&v.scalar)) return !s->empty();
  return false;
}

// array.array's typecode for a sequence of numbers, as rosidl_generator_py picks it.
char typecode(uint8_t type_id) {
  switch (type_id) {
    case ts::ROS_TYPE_FLOAT:
      return 'f';
    case ts::ROS_TYPE_DOUBLE:
      return 'd';
    case ts::ROS_TYPE_INT8:
      return 'b';
    case ts::ROS_TYPE_UINT8:
      return 'B';
    case ts::ROS_TYPE_INT16:
      return 'h';
    case ts::ROS_TYPE_UINT16:
      return 'H';
    case ts::ROS_TYPE_INT32:
      return 'i';
    case ts::ROS_TYPE_UINT32:
      return 'I';
    case ts::ROS_TYPE_INT64:
      return 'q';
    case ts::ROS_TYPE_UINT64:
      return 'Q';
    default:
      return '\0';  // bool, byte, char, strings, messages: a Python list
  }
}

// What array.array raises for an integer its typecode cannot hold.
std::string array_overflow(char code, bool above) {
  const std::string limit = above ? " is greater than maximum" : " is less than minimum";
  switch (code) {
    case 'b':
      return "signed char" + limit;
    case 'B':
      return "unsigned byte integer" + limit;
    case 'h':
      return "signed short integer" + limit;
    case 'H':
      return "unsigned short" + limit;
    case 'i':
      return "signed integer" + limit;
    case 'I':
      return above ? "unsigned int is greater than maximum"
                   : "can't convert negative value to unsigned int";
    case 'Q':
      return above ? "int too big to convert" : "can't convert negative int to unsigned";
    default:
      return "int too big to convert";
  }
}

class FieldSetter {
 public:
  void message(const MessageMembers& members, void* message, const YamlNode& values) {
    if (!values.pairs) {
      raise("TypeError", "Value '" + python_str(values) +
                             "' is expected to be a dictionary but is a " + python_type(values));
    }
    for (const auto& [key, value] : *values.pairs) {
      if (!is_str(key)) {
        raise("TypeError", "attribute name must be string, not '" + python_type(key) + "'");
      }
      const std::string& name = std::get<std::string>(key.scalar);
      const MessageMember* found = nullptr;
      for (const MessageMember* m : fields(members)) {
        found = name == m->name_ ? m : found;
      }
      if (found == nullptr) {
        raise("AttributeError", "'" + std::string(members.message_name_) +
                                    "' object has no attribute '" + name + "'");
      }
      field(*found, static_cast<unsigned char*>(message) + found->offset_, value);
    }
  }

 private:
  // A fresh value of the Python type `type_name` filled from `v` as from a dict: only an
  // empty dict leaves it as it is.
  static void fill_as_dict(const std::string& type_name, const YamlNode& v) {
    if (!v.pairs) {
      raise("TypeError", "Value '" + python_str(v) + "' is expected to be a dictionary but is a " +
                             python_type(v));
    }
    if (!v.pairs->empty()) {
      const YamlNode& key = v.pairs->front().first;
      if (!is_str(key)) {
        raise("TypeError", "attribute name must be string, not '" + python_type(key) + "'");
      }
      raise("AttributeError", "'" + type_name + "' object has no attribute '" +
                                  std::get<std::string>(key.scalar) + "'");
    }
  }

  static std::string must_be(const MessageMember& m) {
    return "The '" + std::string(m.name_) + "' field must be ";
  }

  void field(const MessageMember& m, void* p, const YamlNode& v) {
    if (!m.is_array_) {
      single(m, p, v);
    } else if (typecode(m.type_id_) != '\0') {
      is_sequence(m) ? number_array(m, p, v) : number_ndarray(m, p, v);
    } else {
      list(m, p, v);
    }
  }

  void single(const MessageMember& m, void* p, const YamlNode& v) {
    if (m.type_id_ == ts::ROS_TYPE_MESSAGE) {
      if (v.pairs) {
        message(nested(m), p, v);
      } else {
        fill_as_dict(nested(m).message_name_, v);
      }
      return;
    }
    if (m.type_id_ == ts::ROS_TYPE_BOOLEAN) {
      *static_cast<bool*>(p) = truthy(v);
      return;
    }
    if (m.type_id_ == ts::ROS_TYPE_OCTET) {
      *static_cast<uint8_t*>(p) = octet(m, v);
      return;
    }
    if (m.type_id_ == ts::ROS_TYPE_STRING || m.type_id_ == ts::ROS_TYPE_WSTRING) {
      const std::string text = python_str(v);
      if (m.string_upper_bound_ != 0 && python_len(text) > m.string_upper_bound_) {
        raise("AssertionError",
              must_be(m) + "string value not longer than " + std::to_string(m.string_upper_bound_));
      }
      if (m.type_id_ == ts::ROS_TYPE_STRING) {
        *static_cast<std::string*>(p) = text;
      } else {
        *static_cast<std::u16string*>(p) = utf8_to_wide(text);
      }
      return;
    }
    if (is_float(m.type_id_)) {
      double d = 0.0;
      try {
        d = to_float(v);
      } catch (const NotConvertible&) {
        fill_as_dict("float", v);
      }
      const bool single_precision = m.type_id_ == ts::ROS_TYPE_FLOAT;
      const double limit = single_precision ? 3.402823466e+38 : 1.7976931348623157e+308;
      if ((d < -limit || d > limit) && !std::isinf(d)) {
        raise("AssertionError",
              must_be(m) + (single_precision ? "a float in " : "a double in ") +
                  (single_precision ? "[-3.402823466e+38, 3.402823466e+38]"
                                    : "[-1.7976931348623157e+308, 1.7976931348623157e+308]"));
      }
      store_float(m.type_id_, p, d);
      return;
    }
    const IntRange range = int_range(m.type_id_);
    Int i = 0;
    try {
      i = to_int(v);
    } catch (const NotConvertible&) {
      fill_as_dict("int", v);
    }
    if (i < range.min || i > range.max) {
      raise("AssertionError",
            must_be(m) + (range.min == 0 ? "an unsigned integer in [" : "an integer in [") +
                int_text(range.min) + ", " + int_text(range.max) + "]");
    }
    store_int(m.type_id_, p, i);
  }

  // bytes(value), which must come out one byte long.
  static uint8_t octet(const MessageMember& m, const YamlNode& v) {
    const std::string wrong = must_be(m) + "of type 'bytes' or 'ByteString' with length 1";
    std::vector<uint8_t> bytes;
    const bool number =
        !v.items && !v.pairs &&
        (std::holds_alternative<int64_t>(v.scalar) || std::holds_alternative<bool>(v.scalar));
    if (number) {
      // bytes(n): n zero bytes.
      const Int n = to_int(v);
      if (n < 0) raise("ValueError", "negative count");
      bytes.assign(n == 1 ? 1 : n == 0 ? 0 : 2, 0);
    } else if (v.items || v.pairs) {
      const std::vector<YamlNode> items = *iterated(v);
      for (const YamlNode& item : items) {
        const bool integer = !item.items && !item.pairs &&
                             (std::holds_alternative<int64_t>(item.scalar) ||
                              std::holds_alternative<bool>(item.scalar));
        if (!integer) {
          fill_as_dict("bytes", v);
          raise("AssertionError", wrong);  // bytes({}) is empty
        }
        const Int b = to_int(item);
        if (b < 0 || b > 255) raise("ValueError", "bytes must be in range(0, 256)");
        bytes.push_back(static_cast<uint8_t>(b));
      }
    } else {
      fill_as_dict("bytes", v);
    }
    if (bytes.size() != 1) raise("AssertionError", wrong);
    return bytes[0];
  }

  // A sequence of numbers: array.array(typecode, value), then the bound.
  static void number_array(const MessageMember& m, void* p, const YamlNode& v) {
    const char code = typecode(m.type_id_);
    if (is_str(v)) {
      raise("TypeError",
            std::string("cannot use a str to initialize an array with typecode '") + code + "'");
    }
    const auto items = iterated(v);
    if (!items) raise("TypeError", "'" + python_type(v) + "' object is not iterable");
    std::vector<YamlNode> checked;
    for (const YamlNode& item : *items) {
      const bool number = !item.items && !item.pairs &&
                          (std::holds_alternative<int64_t>(item.scalar) ||
                           std::holds_alternative<bool>(item.scalar) ||
                           (is_float(m.type_id_) && std::holds_alternative<double>(item.scalar)));
      if (!number) {
        raise("TypeError",
              is_float(m.type_id_)
                  ? "must be real number, not " + python_type(item)
                  : "'" + python_type(item) + "' object cannot be interpreted as an integer");
      }
      if (!is_float(m.type_id_)) {
        const Int i = to_int(item);
        const IntRange range = int_range(m.type_id_);
        if (i < range.min || i > range.max)
          raise("OverflowError", array_overflow(code, i > range.max));
      }
    }
    if (m.is_upper_bound_ && items->size() > m.array_size_) {
      raise("AssertionError",
            "The '" + std::string(m.name_) +
                "' array.array() must have a size <= " + std::to_string(m.array_size_));
    }
    store_numbers(m, p, *items);
  }

  // A fixed array of numbers: numpy.array(value, dtype), then its size.
  static void number_ndarray(const MessageMember& m, void* p, const YamlNode& v) {
    std::vector<YamlNode> items = v.items ? *v.items : std::vector<YamlNode>{v};
    for (YamlNode& item : items) {
      if (item.items || item.pairs) {
        raise("ValueError", "setting an array element with a sequence.");
      }
      if (item.scalar.index() == 0) {
        raise("TypeError",
              is_float(m.type_id_)
                  ? "float() argument must be a string or a real number, not 'NoneType'"
                  : "int() argument must be a string, a bytes-like object or a real "
                    "number, not 'NoneType'");
      }
      // numpy casts as float() and int() do, and wraps integers beyond the type.
      item = is_float(m.type_id_)
                 ? YamlNode{to_float(item), std::nullopt, std::nullopt}
                 : YamlNode{static_cast<int64_t>(to_int(item)), std::nullopt, std::nullopt};
    }
    if (items.size() != m.array_size_) {
      raise("AssertionError", "The '" + std::string(m.name_) +
                                  "' numpy.ndarray() must have a size of " +
                                  std::to_string(m.array_size_));
    }
    store_numbers(m, p, items);
  }

  static void store_numbers(const MessageMember& m, void* p, const std::vector<YamlNode>& items) {
    if (is_sequence(m)) m.resize_function(p, items.size());
    for (size_t i = 0; i < items.size(); ++i) {
      void* element = m.get_function(p, i);
      if (is_float(m.type_id_)) {
        store_float(m.type_id_, element, to_float(items[i]));
      } else {
        store_int(m.type_id_, element, to_int(items[i]));
      }
    }
  }

  // Arrays and sequences Python keeps as a list: list(value), messages filled from dicts,
  // then the setter's check of the length and of each value.
  void list(const MessageMember& m, void* p, const YamlNode& v) {
    auto items = iterated(v);
    if (!items) {
      fill_as_dict("list", v);
      items.emplace();
    }
    const bool is_message = m.type_id_ == ts::ROS_TYPE_MESSAGE;
    const bool is_text = m.type_id_ == ts::ROS_TYPE_STRING || m.type_id_ == ts::ROS_TYPE_WSTRING;
    std::string each_type = is_message                           ? nested(m).message_name_
                            : is_text                            ? "str"
                            : m.type_id_ == ts::ROS_TYPE_BOOLEAN ? "bool"
                            : m.type_id_ == ts::ROS_TYPE_OCTET   ? "bytes"
                                                                 : "int";
    bool fits = m.is_upper_bound_ ? items->size() <= m.array_size_
                : is_sequence(m)  ? true
                                  : items->size() == m.array_size_;
    for (const YamlNode& item : *items) {
      if (is_message) {
        if (!item.pairs) fill_as_dict(each_type, item);
      } else if (is_text) {
        fits = fits && is_str(item) &&
               (m.string_upper_bound_ == 0 ||
                python_len(std::get<std::string>(item.scalar)) <= m.string_upper_bound_);
      } else if (m.type_id_ == ts::ROS_TYPE_BOOLEAN) {
        fits = fits && !item.items && !item.pairs && std::holds_alternative<bool>(item.scalar);
      } else {
        fits = fits && !item.items && !item.pairs &&
               (std::holds_alternative<int64_t>(item.scalar) ||
                std::holds_alternative<bool>(item.scalar)) &&
               to_int(item) >= 0 && to_int(item) <= 255 && m.type_id_ == ts::ROS_TYPE_CHAR;
      }
    }
    if (!fits) {
      const std::string length = m.is_upper_bound_
                                     ? " with length <= " + std::to_string(m.array_size_)
                                 : is_sequence(m) ? ""
                                                  : " with length " + std::to_string(m.array_size_);
      const std::string bound = is_text && m.string_upper_bound_ != 0
                                    ? "each string value not longer than " +
                                          std::to_string(m.string_upper_bound_) + " and "
                                    : "";
      raise("AssertionError", must_be(m) + "a set or sequence" + length + " and " + bound +
                                  "each value of type '" + each_type + "'");
    }
    if (is_sequence(m)) m.resize_function(p, items->size());
    for (size_t i = 0; i < items->size(); ++i) {
      const YamlNode& item = (*items)[i];
      if (is_bool_vector(m)) {
        const bool b = std::get<bool>(item.scalar);
        m.assign_function(p, i, &b);
        continue;
      }
      void* element = m.get_function(p, i);
      if (is_message) {
        message(nested(m), element, item);
      } else if (m.type_id_ == ts::ROS_TYPE_STRING) {
        *static_cast<std::string*>(element) = std::get<std::string>(item.scalar);
      } else if (m.type_id_ == ts::ROS_TYPE_WSTRING) {
        *static_cast<std::u16string*>(element) = utf8_to_wide(std::get<std::string>(item.scalar));
      } else if (m.type_id_ == ts::ROS_TYPE_BOOLEAN) {
        *static_cast<bool*>(element) = std::get<bool>(item.scalar);
      } else {
        store_int(m.type_id_, element, to_int(item));
      }
    }
  }
};

}  // namespace

std::string message_to_yaml(const MessageMembers& members, const void* message, bool as_given) {
  YamlWriter writer(as_given);
  writer.mapping(members, message, 0, false);
  return writer.out;
}

std::optional<std::string> set_message_fields(const MessageMembers& members, void* message,
                                              const YamlNode& values) {
  try {
    FieldSetter().message(members, message, values);
    return std::nullopt;
  } catch (const PyError& error) {
    return error.type + "(" + python_str_repr(error.message) + ")";
  }
}

}  // namespace ros2_lite
