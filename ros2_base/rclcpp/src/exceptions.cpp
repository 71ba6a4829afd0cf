#include "rclcpp/exceptions.hpp"

#include <utility>

namespace rclcpp {
namespace exceptions {

NameValidationError::NameValidationError(const std::string& name_type_in,
                                         const std::string& name_in,
                                         const std::string& error_msg_in, size_t invalid_index_in)
    : std::invalid_argument(format_error(name_type_in, name_in, error_msg_in, invalid_index_in)),
      name_type(name_type_in),
      name(name_in),
      error_msg(error_msg_in),
      invalid_index(invalid_index_in) {}

std::string NameValidationError::format_error(const std::string& name_type, const std::string& name,
                                              const std::string& error_msg, size_t invalid_index) {
  return "Invalid " + name_type + ": " + error_msg + ":\n  '" + name + "'\n   " +
         std::string(invalid_index, ' ') + "^\n";
}

namespace {

std::string join_quoted(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) {
    out += (out.empty() ? "'" : ", '") + item + "'";
  }
  return out;
}

}  // namespace

UnknownROSArgsError::UnknownROSArgsError(std::vector<std::string>&& unknown_ros_args_in)
    : std::runtime_error("found unknown ROS arguments: " + join_quoted(unknown_ros_args_in)),
      unknown_ros_args(std::move(unknown_ros_args_in)) {}

RCLErrorBase::RCLErrorBase(int32_t ret_in, const std::string& message_in)
    : ret(ret_in), message(message_in), line(0), formatted_message(message_in) {}

RCLError::RCLError(int32_t ret_in, const std::string& message_in, const std::string& prefix)
    : RCLErrorBase(ret_in, message_in), std::runtime_error(prefix + message_in) {}

}  // namespace exceptions
}  // namespace rclcpp
