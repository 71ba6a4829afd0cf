#pragma once

#include <rosidl_typesupport_introspection_cpp/message_introspection.hpp>

#include <optional>
#include <string>

#include "yaml_document.hpp"

namespace ros2_lite {

using MessageMembers = rosidl_typesupport_introspection_cpp::MessageMembers;

// rosidl_runtime_py's message_to_yaml: the message as yaml.dump writes it (block
// style, allow_unicode, no folding), floats as Python prints them, a byte as the
// character of its value. A message Python filled itself holds a float32 field
// as the double it was given: `as_given` prints those with the fewest digits that
// give the same float32, which is what was typed unless it had more digits than a
// float32 keeps.
std::string message_to_yaml(const MessageMembers& members, const void* message,
                            bool as_given = false);

// What `ros2 topic echo` asks of rosidl_runtime_py's writers: strings, bytes and
// arrays cut to truncate_length items (then "..."), arrays or strings replaced by a
// note of their type and length.
struct MessageTextOptions {
  std::optional<size_t> truncate_length;
  bool no_arr = false;
  bool no_str = false;
};
std::string message_to_yaml(const MessageMembers& members, const void* message,
                            const MessageTextOptions& options);
// rosidl_runtime_py's message_to_csv: every field, recursively, as Python's str()
// writes it, separated by commas.
std::string message_to_csv(const MessageMembers& members, const void* message,
                           const MessageTextOptions& options);
// The repr of a message as rosidl's generated Python class writes it, as Python
// holds it once filled from YAML: "std_msgs.msg.String(data='hi')".
// `as_given` as above: a request filled from YAML keeps its float32 fields' doubles.
std::string message_repr(const MessageMembers& members, const void* message, bool as_given = false);
// The repr of one field of a message, as that field's part of message_repr.
std::string message_field_repr(const rosidl_typesupport_introspection_cpp::MessageMember& m,
                               const void* field);

// "<sequence type: double, length: 3>", as rosidl_runtime_py abbreviates an array.
std::string abbreviated_array(const rosidl_typesupport_introspection_cpp::MessageMember& m,
                              size_t length);
// "pkg/msg/Type" of a message's members.
std::string message_type_name(const MessageMembers& members);

// rosidl_runtime_py's set_message_fields on a message with its default values: each
// value converted as Python converts it to the field's type (int("5"), str(1.5),
// bool("no")...), then checked as the generated Python setters check it. The repr of
// the exception Python raises, if it does: AttributeError("'Goal' object has no attribute
// 'x'"), ValueError(...), AssertionError("The 'order' field must be ...").
std::optional<std::string> set_message_fields(const MessageMembers& members, void* message,
                                              const YamlNode& values);
// The same, with str() of the exception instead of its repr, as `service call` prints it.
std::optional<std::string> set_message_fields_str(const MessageMembers& members, void* message,
                                                  const YamlNode& values);

}  // namespace ros2_lite
