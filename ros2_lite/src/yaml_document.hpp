#pragma once

#include <optional>
#include <string>
#include <vector>

#include "yaml_scalar.hpp"

namespace ros2_lite {

// A value as PyYAML's safe_load builds it: a scalar or a sequence.
struct YamlNode {
  Scalar scalar;                               // unless a sequence
  std::optional<std::vector<YamlNode>> items;  // a sequence
};

// yaml.safe_load of a one-line document: plain, quoted (escapes decoded) and
// tagged scalars (!!str, !!int, !!float, !!bool, !!null), flow and one-line
// block sequences, comments, anchors and aliases, "---". nullopt where PyYAML
// raises an error or builds anything else (a mapping, a date, an integer
// beyond int64...), and for a document over several lines.
std::optional<YamlNode> safe_load(const std::string& text);

}  // namespace ros2_lite
