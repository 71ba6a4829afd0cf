#include "yaml_scalar.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <regex>

namespace ros2_lite {
namespace {

// YAML 1.1 implicit types, as PyYAML's resolver has them.
const std::regex bool_pattern(
    "yes|Yes|YES|no|No|NO|true|True|TRUE|false|False|FALSE|on|On|ON|off|Off|OFF");

const std::regex int_pattern(
    "[-+]?0b[0-1_]+|[-+]?0[0-7_]+|[-+]?(?:0|[1-9][0-9_]*)|[-+]?0x[0-9a-fA-F_]+");

const std::regex float_pattern(
    "[-+]?(?:[0-9][0-9_]*)\\.[0-9_]*(?:[eE][-+][0-9]+)?|\\.[0-9][0-9_]*(?:[eE][-+][0-9]+)?|"
    "[-+]?\\.(?:inf|Inf|INF)|\\.(?:nan|NaN|NAN)");

const std::regex null_pattern("~|null|Null|NULL|");

std::string without_underscores(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '_'), text.end());
  return text;
}

// A plain scalar that does not fit int64 stays text.

std::optional<int64_t> to_int(const std::string& text) {
  std::string digits = without_underscores(text);
  bool negative = false;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
    negative = digits[0] == '-';
    digits.erase(0, 1);
  }
  int base = 10;
  if (digits.rfind("0b", 0) == 0) {
    base = 2;
    digits.erase(0, 2);
  } else if (digits.rfind("0x", 0) == 0) {
    base = 16;
    digits.erase(0, 2);
  } else if (digits.size() > 1 && digits[0] == '0') {
    base = 8;
  }
  uint64_t magnitude = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  if (error != std::errc() || end != digits.data() + digits.size() ||
      magnitude > uint64_t{std::numeric_limits<int64_t>::max()} + (negative ? 1 : 0)) {
    return std::nullopt;
  }
  return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

double to_double(const std::string& text) {
  std::string value = without_underscores(text);
  for (auto& c : value) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  const bool negative = !value.empty() && value[0] == '-';
  if (value.find(".inf") != std::string::npos) {
    return negative ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
  }
  if (value == ".nan") {
    return std::numeric_limits<double>::quiet_NaN();
  }
  return std::strtod(value.c_str(), nullptr);
}

// A quoted scalar's content; nullopt when `text` is not one whole quoted scalar.

std::optional<std::string> unquoted(const std::string& text) {
  if (text.size() < 2 || (text[0] != '\'' && text[0] != '"') || text.back() != text[0]) {
    return std::nullopt;
  }
  const char quote = text[0];
  std::string content;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    if (quote == '\'' && text[i] == '\'') {
      if (text[i + 1] != '\'' || i + 2 == text.size()) {
        return std::nullopt;
      }
      ++i;
    } else if (quote == '"' && text[i] == '\\') {
      if (i + 2 == text.size()) {
        return std::nullopt;
      }
      const char escaped = text[++i];
      content += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
      continue;
    } else if (quote == '"' && text[i] == '"') {
      return std::nullopt;
    }
    content += text[i];
  }
  return content;
}

// The items of a flow sequence of scalars; nullopt for anything else.

}  // namespace

Scalar resolve_plain(const std::string& text) {
  if (std::regex_match(text, bool_pattern)) {
    const char first = text[0];
    return first == 'y' || first == 'Y' || first == 't' || first == 'T' || text == "on" ||
           text == "On" || text == "ON";
  }
  if (std::regex_match(text, int_pattern)) {
    if (const auto value = to_int(text)) {
      return *value;
    }
    return text;
  }
  if (std::regex_match(text, float_pattern)) {
    return to_double(text);
  }
  if (std::regex_match(text, null_pattern)) {
    return std::monostate();
  }
  return text;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) {
    return "";
  }
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

Scalar resolve(const std::string& text) {
  if (const auto content = unquoted(text)) {
    return *content;
  }
  return resolve_plain(text);
}

std::optional<std::vector<Scalar>> flow_sequence(const std::string& text) {
  if (text.size() < 2 || text.front() != '[' || text.back() != ']') {
    return std::nullopt;
  }
  std::vector<std::string> items;
  std::string item;
  char quote = 0;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    const char c = text[i];
    if (quote == 0 && (c == '[' || c == ']' || c == '{' || c == '}')) {
      return std::nullopt;
    }
    if (quote == 0 && c == ',') {
      items.push_back(trimmed(item));
      item.clear();
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = quote == 0 ? c : (quote == c ? 0 : quote);
    }
    item += c;
  }
  if (quote != 0) {
    return std::nullopt;
  }
  if (!trimmed(item).empty()) {
    items.push_back(trimmed(item));
  }
  std::vector<Scalar> values;
  for (const auto& text_item : items) {
    if (text_item.empty()) {
      return std::nullopt;
    }
    values.push_back(resolve(text_item));
  }
  return values;
}

}  // namespace ros2_lite
