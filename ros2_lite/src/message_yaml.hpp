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

// repr() of the message as rosidl's generated Python class writes it: the fields
// by name, sequences of numbers as lists, fixed arrays of numbers as numpy prints
// them. `as_given` as above, for the float32 fields a request was filled with.
std::string message_repr(const MessageMembers& members, const void* message, bool as_given = false);

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
