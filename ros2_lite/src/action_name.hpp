#pragma once

#include <optional>
#include <string>

namespace ros2_lite {

// A topic or action name as ros2cli expands it for its own node in the root
// namespace, or why it cannot: rcl's check of the name as given, then rmw's of
// the result.
struct ExpandedName {
  std::string name;
  std::optional<std::string> reason;  // "topic name is invalid", "topic name must not ..."
  std::optional<std::string> error;   // the whole text ros2 action info prints
};

ExpandedName expanded_action_name(const std::string& name);

}  // namespace ros2_lite
