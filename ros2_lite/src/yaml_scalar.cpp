#include "yaml_scalar.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <regex>
#include <vector>

#include "command_line.hpp"
#include "python_text.hpp"

namespace ros2_lite {
namespace {

// YAML 1.1 implicit types, as PyYAML's resolver has them, in its order.
const std::regex bool_pattern(
    "yes|Yes|YES|no|No|NO|true|True|TRUE|false|False|FALSE|on|On|ON|off|Off|OFF");

const std::regex float_pattern(
    "[-+]?(?:[0-9][0-9_]*)\\.[0-9_]*(?:[eE][-+][0-9]+)?|\\.[0-9][0-9_]*(?:[eE][-+][0-9]+)?|"
    "[-+]?[0-9][0-9_]*(?::[0-5]?[0-9])+\\.[0-9_]*|"
    "[-+]?\\.(?:inf|Inf|INF)|\\.(?:nan|NaN|NAN)");

const std::regex int_pattern(
    "[-+]?0b[0-1_]+|[-+]?0[0-7_]+|[-+]?(?:0|[1-9][0-9_]*)|[-+]?0x[0-9a-fA-F_]+|"
    "[-+]?[1-9][0-9_]*(?::[0-5]?[0-9])+");

const std::regex null_pattern("~|null|Null|NULL|");

const std::regex timestamp_pattern(
    "[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]|"
    "[0-9][0-9][0-9][0-9]-[0-9][0-9]?-[0-9][0-9]?(?:[Tt]|[ \\t]+)[0-9][0-9]?:[0-9][0-9]:"
    "[0-9][0-9](?:\\.[0-9]*)?(?:[ \\t]*(?:Z|[-+][0-9][0-9]?(?::[0-9][0-9])?))?");

// A resolver applies only to scalars starting with one of its characters.
bool starts_with_any(const std::string& text, const char* first) {
  return !text.empty() && std::string(first).find(text[0]) != std::string::npos;
}

std::string without(std::string text, char c) {
  text.erase(std::remove(text.begin(), text.end(), c), text.end());
  return text;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Python's int(text, base): surrounding white space and one sign allowed. Wide
// enough for any int64 and a little beyond; nullopt past that.
using Wide = __int128;
constexpr Wide kWideLimit = Wide{1} << 100;

std::optional<Wide> python_int(const std::string& text, int base) {
  const size_t first = text.find_first_not_of(" \t\n\r\f\v");
  if (first == std::string::npos) {
    return std::nullopt;
  }
  std::string digits = text.substr(first, text.find_last_not_of(" \t\n\r\f\v") - first + 1);
  bool negative = false;
  if (digits[0] == '-' || digits[0] == '+') {
    negative = digits[0] == '-';
    digits.erase(0, 1);
  }
  if (base == 16 && (digits.rfind("0x", 0) == 0 || digits.rfind("0X", 0) == 0)) {
    digits.erase(0, 2);
  }
  if (digits.empty()) {
    return std::nullopt;
  }
  Wide magnitude = 0;
  for (const char c : digits) {
    const unsigned char u = static_cast<unsigned char>(c);
    const int digit = std::isdigit(u) ? c - '0' : std::isalpha(u) ? std::tolower(u) - 'a' + 10 : 99;
    if (digit >= base || magnitude > kWideLimit) {
      return std::nullopt;
    }
    magnitude = magnitude * base + digit;
  }
  return negative ? -magnitude : magnitude;
}

// SafeConstructor.construct_yaml_int
std::optional<int64_t> construct_int(const std::string& text) {
  std::string value = without(text, '_');
  if (value.empty()) {
    return std::nullopt;
  }
  int sign = 1;
  if (value[0] == '-' || value[0] == '+') {
    sign = value[0] == '-' ? -1 : 1;
    value.erase(0, 1);
  }
  std::optional<Wide> magnitude;
  if (value == "0") {
    return 0;
  } else if (value.rfind("0b", 0) == 0) {
    magnitude = python_int(value.substr(2), 2);
  } else if (value.rfind("0x", 0) == 0) {
    magnitude = python_int(value.substr(2), 16);
  } else if (!value.empty() && value[0] == '0') {
    magnitude = python_int(value, 8);
  } else if (value.find(':') != std::string::npos) {
    const auto parts = split(value, ':');
    Wide base = 1;
    magnitude = 0;
    for (auto part = parts.rbegin(); part != parts.rend() && magnitude; ++part) {
      const auto digit = python_int(*part, 10);
      const Wide small = Wide{1} << 60;
      magnitude = digit && *digit<small&& * digit> - small && base < small
                      ? std::optional<Wide>(*magnitude + *digit * base)
                      : std::nullopt;
      base *= 60;
    }
  } else {
    magnitude = python_int(value, 10);
  }
  if (!magnitude) {
    return std::nullopt;
  }
  const Wide result = sign * *magnitude;
  if (result < std::numeric_limits<int64_t>::min() ||
      result > std::numeric_limits<int64_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int64_t>(result);
}

// SafeConstructor.construct_yaml_float
std::optional<double> construct_float(const std::string& text) {
  std::string value = lower(without(text, '_'));
  if (value.empty()) {
    return std::nullopt;
  }
  double sign = 1.0;
  if (value[0] == '-' || value[0] == '+') {
    sign = value[0] == '-' ? -1.0 : 1.0;
    value.erase(0, 1);
  }
  if (value == ".inf") {
    return sign * std::numeric_limits<double>::infinity();
  }
  if (value == ".nan") {
    return std::numeric_limits<double>::quiet_NaN();
  }
  if (value.find(':') != std::string::npos) {
    double total = 0.0;
    double base = 1.0;
    const auto parts = split(value, ':');
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
      const auto digit = python_float_value(*part);
      if (!digit) {
        return std::nullopt;
      }
      total += *digit * base;
      base *= 60;
    }
    return sign * total;
  }
  const auto number = python_float_value(value);
  return number ? std::optional<double>(sign * *number) : std::nullopt;
}

}  // namespace

std::string implicit_tag(const std::string& plain) {
  if (plain.empty() || std::regex_match(plain, null_pattern)) {
    return "null";
  }
  if (starts_with_any(plain, "yYnNtTfFoO") && std::regex_match(plain, bool_pattern)) {
    return "bool";
  }
  if (starts_with_any(plain, "-+0123456789.") && std::regex_match(plain, float_pattern)) {
    return "float";
  }
  if (starts_with_any(plain, "-+0123456789") && std::regex_match(plain, int_pattern)) {
    return "int";
  }
  if (plain == "<<") {
    return "merge";
  }
  if (starts_with_any(plain, "0123456789") && std::regex_match(plain, timestamp_pattern)) {
    return "timestamp";
  }
  if (plain == "=") {
    return "value";
  }
  return "str";
}

std::optional<Scalar> construct_scalar(const std::string& tag, const std::string& text) {
  if (tag == "str") {
    return text;
  }
  if (tag == "null") {
    return std::monostate();
  }
  if (tag == "bool") {
    const std::string value = lower(text);
    if (value == "yes" || value == "true" || value == "on") {
      return true;
    }
    if (value == "no" || value == "false" || value == "off") {
      return false;
    }
    return std::nullopt;
  }
  if (tag == "int") {
    if (const auto value = construct_int(text)) {
      return *value;
    }
    return std::nullopt;
  }
  if (tag == "float") {
    if (const auto value = construct_float(text)) {
      return *value;
    }
    return std::nullopt;
  }
  return std::nullopt;
}

std::optional<Scalar> resolve_plain(const std::string& text) {
  return construct_scalar(implicit_tag(text), text);
}

}  // namespace ros2_lite
