#include "action_name.hpp"

#include <cctype>

#include "rclcpp/exceptions.hpp"

namespace ros2_lite {

ExpandedName expanded_action_name(const std::string& name) {
  const auto is_token_char = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  };
  bool valid = !name.empty() && name.back() != '/';
  for (size_t i = 0; valid && i < name.size(); ++i) {
    const bool starts_token = i == 0 || name[i - 1] == '/';
    valid =
        name[i] == '/' || (is_token_char(name[i]) &&
                           !(starts_token && std::isdigit(static_cast<unsigned char>(name[i]))));
  }
  if (!valid) {
    const std::string reason = "topic name is invalid";
    return {name, reason, "topic name '" + name + "' is invalid: " + reason};
  }
  const std::string full = name[0] == '/' ? name : "/" + name;
  const size_t repeated = full.find("//");
  if (repeated != std::string::npos) {
    const std::string reason = "topic name must not contain repeated '/'";
    std::string error = rclcpp::exceptions::NameValidationError::format_error("topic name", full,
                                                                              reason, repeated + 1);
    error.pop_back();  // the caller ends the line
    return {full, reason, error};
  }
  return {full, std::nullopt, std::nullopt};
}

}  // namespace ros2_lite
