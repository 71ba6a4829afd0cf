#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace ros2_lite {

// A YAML 1.1 scalar as PyYAML's safe loader types it: null, bool, int, float or text.
using Scalar = std::variant<std::monostate, bool, int64_t, double, std::string>;

// The tag PyYAML's resolver gives a plain scalar: "null", "bool", "int", "float",
// "timestamp", "merge", "value" or "str" (the YAML 1.1 implicit types).
std::string implicit_tag(const std::string& plain);

// What safe_load constructs for a scalar of a "tag:yaml.org,2002:" tag ("int", "str"...)
// and its text; nullopt where PyYAML fails, for an integer beyond int64 and for
// the types ros2 cannot take (timestamps...).
std::optional<Scalar> construct_scalar(const std::string& tag, const std::string& text);

// A plain (unquoted) scalar, typed by its implicit tag.
std::optional<Scalar> resolve_plain(const std::string& text);

}  // namespace ros2_lite
