#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace ros2_lite {

// One line of a .msg/.srv/.action file as `ros2 interface show` reads it: each
// line parsed on its own by rosidl_adapter's message parser.
struct InterfaceLine {
  std::string text;  // as in the file, trailing white space removed
  bool is_comment = false;
  // What the parser keeps of a field's or constant's own comment: its first line,
  // without a unit in brackets and the leading white space.
  std::optional<std::string> trailing_comment;
  std::optional<std::string> nested_type;  // "pkg/msg/Type" of a message-typed field
};

InterfaceLine read_interface_line(const std::string& package, const std::string& text);

// The lines of an interface file; throws std::runtime_error with ros2cli's message.
using InterfaceReader = std::function<std::vector<std::string>(const std::string& type)>;

// `ros2 interface show TYPE`: the file with each message-typed field followed by its
// type's file, one tab further in. Comments and blank lines are kept at the top
// level unless `no_comments`, below it only with `all_comments`.
// Written as it goes: what came before a nested type that cannot be read stays printed.
void show_interface(const std::string& type, const InterfaceReader& read, bool no_comments,
                    bool all_comments, std::ostream& out);

}  // namespace ros2_lite
