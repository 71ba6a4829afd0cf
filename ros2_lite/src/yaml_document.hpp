#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "yaml_scalar.hpp"

namespace ros2_lite {

struct YamlNode;
using YamlPair = std::pair<YamlNode, YamlNode>;

// A value as PyYAML's safe_load builds it: a scalar, a sequence or a mapping.
struct YamlNode {
  Scalar scalar;                               // unless a sequence or a mapping
  std::optional<std::vector<YamlNode>> items;  // a sequence
  // A mapping, as a Python dict: in order, each key once (a repeated key keeps
  // its place and takes the last value).
  std::optional<std::vector<YamlPair>> pairs;
};

// yaml.safe_load of a one-line document: plain, quoted (escapes decoded) and
// tagged scalars (!!str, !!int, !!float, !!bool, !!null), flow sequences and
// mappings, a one-line block sequence or one-pair block mapping, comments,
// anchors and aliases, "---". nullopt where PyYAML raises an error or builds
// anything else (a date, an integer beyond int64...), and for a document over
// several lines.
std::optional<YamlNode> safe_load(const std::string& text);

}  // namespace ros2_lite
