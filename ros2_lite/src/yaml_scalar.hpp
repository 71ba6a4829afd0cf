#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ros2_lite {

// A YAML 1.1 scalar as PyYAML's safe loader types it: null, bool, int, float or text.
using Scalar = std::variant<std::monostate, bool, int64_t, double, std::string>;

// A plain (unquoted) scalar; an integer beyond int64 stays text.
Scalar resolve_plain(const std::string& text);
// A plain scalar, or one whole single- or double-quoted scalar (text).
Scalar resolve(const std::string& text);
// The items of a flow sequence of scalars, "[1, 'a']"; nullopt for anything else.
std::optional<std::vector<Scalar>> flow_sequence(const std::string& text);
// Without leading and trailing white space.
std::string trimmed(const std::string& text);

}  // namespace ros2_lite
