#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ros2_lite {

// Values as Python prints them, for the texts of the ros2 command.

// repr of a float: shortest round trip, "1.0", "1e-05", "inf".
std::string python_float(double value);
// The same with the fewest digits that read back to the same float32.
std::string python_float32(float value);
// Text between quotes with backslash escapes for the quote, backslash, \n, \t, \r and
// other control bytes (\xNN), and bytes above 0x7f too if asked.
std::string quoted(const std::string& text, char quote, bool escape_non_ascii, bool upper_hex);
// repr of a str: single quotes unless it holds one and no double quote.
std::string python_str_repr(const std::string& text);
// repr of a one-byte bytes object: b'A', b'\x01'.
std::string python_bytes_repr(uint8_t byte);
std::string python_bool(bool value);

// UTF-8 of one code point.
std::string utf8(uint32_t code);
// The code points of UTF-8 text; nullopt where it is not valid UTF-8.
std::optional<std::vector<uint32_t>> code_points(const std::string& text);

// str.split(separator): every piece, empty ones too.
std::vector<std::string> split(const std::string& text, char separator);

// The values' texts joined by ", ".
template <class T, class F>
std::string joined(const std::vector<T>& values, F text_of) {
  std::string out;
  for (size_t i = 0; i < values.size(); ++i) {
    out += (i == 0 ? "" : ", ") + text_of(values[i]);
  }
  return out;
}

}  // namespace ros2_lite
