#include "python_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace ros2_lite {

namespace {

// Python's layout of a repr around the shortest digits of a value.
template <class FloatT>
std::string shortest_repr(FloatT value) {
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value > 0 ? "inf" : "-inf";
  }
  // Shortest round-trip digits, then Python's choice between fixed and exponent form.
  char buffer[64];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::scientific);
  std::string scientific(buffer, error == std::errc() ? end : buffer);
  const size_t e = scientific.find('e');
  std::string mantissa = scientific.substr(0, e);
  const int exponent = std::stoi(scientific.substr(e + 1));
  const bool negative = mantissa[0] == '-';
  if (negative) {
    mantissa.erase(0, 1);
  }
  std::string digits;
  for (const char c : mantissa) {
    if (c != '.') {
      digits += c;
    }
  }
  const int decimal_point = exponent + 1;  // digits before the point
  std::string out;
  if (decimal_point <= -4 || decimal_point > 16) {
    out = digits.substr(0, 1);
    if (digits.size() > 1) {
      out += "." + digits.substr(1);
    }
    char exp[16];
    std::snprintf(exp, sizeof(exp), "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    out += exp;
  } else if (decimal_point <= 0) {
    out = "0." + std::string(static_cast<size_t>(-decimal_point), '0') + digits;
  } else if (static_cast<size_t>(decimal_point) >= digits.size()) {
    out = digits + std::string(static_cast<size_t>(decimal_point) - digits.size(), '0') + ".0";
  } else {
    out = digits.substr(0, static_cast<size_t>(decimal_point)) + "." +
          digits.substr(static_cast<size_t>(decimal_point));
  }
  return (negative ? "-" : "") + out;
}

}  // namespace

std::string python_float(double value) { return shortest_repr(value); }

std::string python_float32(float value) { return shortest_repr(value); }

std::string quoted(const std::string& text, char quote, bool escape_non_ascii, bool upper_hex) {
  std::string out(1, quote);
  for (const unsigned char c : text) {
    if (c == '\\' || c == quote) {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7f || (escape_non_ascii && c > 0x7f)) {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), upper_hex ? "\\x%02X" : "\\x%02x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + quote;
}

std::string python_str_repr(const std::string& text) {
  const bool has_single = text.find('\'') != std::string::npos;
  const char quote = has_single && text.find('"') == std::string::npos ? '"' : '\'';
  return quoted(text, quote, false, false);
}

std::string python_bytes_repr(uint8_t byte) {
  if (byte == '\\' || byte == '\'') {
    return std::string("b'\\") + static_cast<char>(byte) + "'";
  }
  if (byte >= 0x20 && byte < 0x7f) {
    return std::string("b'") + static_cast<char>(byte) + "'";
  }
  const char* named = byte == '\n' ? "\\n" : byte == '\t' ? "\\t" : byte == '\r' ? "\\r" : nullptr;
  if (named != nullptr) {
    return std::string("b'") + named + "'";
  }
  char escaped[8];
  std::snprintf(escaped, sizeof(escaped), "b'\\x%02x'", byte);
  return escaped;
}

std::string python_bool(bool value) { return value ? "True" : "False"; }

std::string utf8(uint32_t code) {
  std::string out;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xc0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3f));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xe0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (code & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (code & 0x3f));
  }
  return out;
}

std::optional<std::vector<uint32_t>> code_points(const std::string& text) {
  std::vector<uint32_t> codes;
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80         ? 1
                          : (lead >> 5) == 6  ? 2
                          : (lead >> 4) == 14 ? 3
                          : (lead >> 3) == 30 ? 4
                                              : 0;
    if (length == 0 || i + length > text.size()) {
      return std::nullopt;
    }
    uint32_t code = length == 1 ? lead : lead & (0x7fu >> length);
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next >> 6) != 2) {
        return std::nullopt;
      }
      code = (code << 6) | (next & 0x3fu);
    }
    codes.push_back(code);
    i += length;
  }
  return codes;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1) {
    parts.push_back(text.substr(start, at - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

}  // namespace ros2_lite
