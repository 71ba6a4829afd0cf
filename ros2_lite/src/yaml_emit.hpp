#pragma once

#include <cstddef>
#include <string>

namespace ros2_lite {

// A str as PyYAML's emitter writes it in a block mapping (yaml.dump's
// defaults: no unicode, width 80): plain where the text would read back as
// the same str, else 'single' or "double" quoted with escapes (é as \xE9);
// a value is folded at spaces once past column 80, continued at `indent`.
// `column` is where the writer stands: after "key:" or "-" for a value (a
// space is written first), at the line's start for a key (never folded).
std::string emit_str(const std::string& utf8, size_t column, size_t indent, bool key);

// yaml.dump's options that change how a str is written.
struct EmitStyle {
  bool allow_unicode = false;  // printable characters beyond ASCII written as they are
  size_t width = 80;           // SIZE_MAX: never folded
};
std::string emit_str(const std::string& utf8, size_t column, size_t indent, bool key,
                     const EmitStyle& style);

}  // namespace ros2_lite
