#pragma once

#include <map>
#include <optional>
#include <string>

// One parameter of the node: its name, its default, and what it means with its unit.
struct NodeParameter {
  const char* name;
  double default_value;
  const char* description;
};

// In declaration order.
extern const NodeParameter kNodeParameters[22];

// The first rule the values break, as one line naming the parameter, its value and
// the rule; nothing for a configuration that can work. Every parameter of
// kNodeParameters must be in values.
std::optional<std::string> configuration_error(const std::map<std::string, double>& values);
