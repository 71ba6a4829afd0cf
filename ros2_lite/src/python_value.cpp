#include "python_value.hpp"

#include <cctype>
#include <cmath>

#include "command_line.hpp"
#include "python_text.hpp"

namespace ros2_lite::pyvalue {

std::string int_text(PyInt v) {
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

[[noreturn]] void raise(const std::string& type, const std::string& message) {
  throw PyError{type, message};
}

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

namespace {

// str() of a value, or repr() of it.
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

}  // namespace

std::string python_str(const YamlNode& v) { return python_text(v, false); }

bool is_str(const YamlNode& v) {
  return !v.items && !v.pairs && std::holds_alternative<std::string>(v.scalar);
}

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

namespace {

// int(text): whitespace around, a sign, decimal digits with single underscores between them.
std::optional<PyInt> parse_int(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\n\r\f\v");
  const size_t end = text.find_last_not_of(" \t\n\r\f\v");
  if (begin == std::string::npos) return std::nullopt;
  size_t i = begin;
  const bool negative = text[i] == '-';
  if (text[i] == '-' || text[i] == '+') ++i;
  PyInt value = 0;
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
    if (value < (PyInt(1) << 100)) value = value * 10 + (c - '0');
  }
  if (!digit_before) return std::nullopt;
  return negative ? -value : value;
}

}  // namespace

// int(value), or NotConvertible where int() raises TypeError.
PyInt to_int(const YamlNode& v) {
  if (v.items || v.pairs) throw NotConvertible{};
  if (const auto* b = std::get_if<bool>(&v.scalar)) return *b ? 1 : 0;
  if (const auto* i = std::get_if<int64_t>(&v.scalar)) return *i;
  if (const auto* d = std::get_if<double>(&v.scalar)) {
    if (std::isinf(*d)) raise("OverflowError", "cannot convert float infinity to integer");
    if (std::isnan(*d)) raise("ValueError", "cannot convert float NaN to integer");
    return static_cast<PyInt>(std::trunc(*d));
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

}  // namespace ros2_lite::pyvalue
