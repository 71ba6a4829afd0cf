// set_message_fields as rosidl_runtime_py does it: each YAML value converted by the
// constructor of the field's Python type, then checked as the generated setters check
// it, driven by rosidl's introspection data.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "message_fields.hpp"
#include "message_yaml.hpp"
#include "python_text.hpp"
#include "python_value.hpp"

namespace ros2_lite {
namespace {

using namespace introspection;  // NOLINT: the field helpers are this file's vocabulary
using namespace pyvalue;        // NOLINT: and Python's view of the values

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
    PyInt i = 0;
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
      const PyInt n = to_int(v);
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
        const PyInt b = to_int(item);
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
        const PyInt i = to_int(item);
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
      if (is_float(m.type_id_)) {
        item.scalar = to_float(item);
      } else {
        item.scalar = static_cast<int64_t>(to_int(item));
      }
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

namespace {

std::optional<PyError> populate(const MessageMembers& members, void* message,
                                const YamlNode& values) {
  try {
    FieldSetter().message(members, message, values);
    return std::nullopt;
  } catch (const PyError& error) {
    return error;
  }
}

}  // namespace

std::optional<std::string> set_message_fields(const MessageMembers& members, void* message,
                                              const YamlNode& values) {
  const auto error = populate(members, message, values);
  if (!error) {
    return std::nullopt;
  }
  return error->type + "(" + python_str_repr(error->message) + ")";
}

std::optional<std::string> set_message_fields_str(const MessageMembers& members, void* message,
                                                  const YamlNode& values) {
  const auto error = populate(members, message, values);
  if (!error) {
    return std::nullopt;
  }
  return error->message;
}

}  // namespace ros2_lite
