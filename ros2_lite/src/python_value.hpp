#pragma once

#include <optional>
#include <string>
#include <vector>

#include "yaml_document.hpp"

// YAML values as Python holds them once yaml.safe_load has read them: their type,
// str() and repr(), and what int(), float(), bool() and iterating make of them.
namespace ros2_lite::pyvalue {

// Python's int, wide enough for every integer field and beyond.
using PyInt = __int128;

// An exception as Python raises it; reported as its repr.
struct PyError {
  std::string type;
  std::string message;
};
[[noreturn]] void raise(const std::string& type, const std::string& message);

// A Python constructor (int(), float(), bytes()...) raised TypeError for the value.
struct NotConvertible {};

std::string int_text(PyInt v);
// type(value).__name__: "NoneType", "bool", "int", "float", "str", "list", "dict".
std::string python_type(const YamlNode& v);
std::string python_str(const YamlNode& v);
bool is_str(const YamlNode& v);
// What iterating the value gives: a list's items, a dict's keys, a str's characters.
std::optional<std::vector<YamlNode>> iterated(const YamlNode& v);
// len() of a str: code points.
size_t python_len(const std::string& text);
// int(value), float(value), bool(value); NotConvertible or PyError where Python raises.
PyInt to_int(const YamlNode& v);
double to_float(const YamlNode& v);
bool truthy(const YamlNode& v);

}  // namespace ros2_lite::pyvalue
