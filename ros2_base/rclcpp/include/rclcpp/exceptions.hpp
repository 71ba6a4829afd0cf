#ifndef RCLCPP__EXCEPTIONS_HPP_
#define RCLCPP__EXCEPTIONS_HPP_

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "rclcpp/parameter_value.hpp"  // rclcpp::ParameterTypeException

namespace rclcpp {
namespace exceptions {

// An invalid node name, namespace or topic name, with a caret under the offending character.
class NameValidationError : public std::invalid_argument {
 public:
  NameValidationError(const std::string& name_type, const std::string& name,
                      const std::string& error_msg, size_t invalid_index);

  static std::string format_error(const std::string& name_type, const std::string& name,
                                  const std::string& error_msg, size_t invalid_index);

  const std::string name_type;
  const std::string name;
  const std::string error_msg;
  const size_t invalid_index;
};

class InvalidNodeNameError : public NameValidationError {
 public:
  InvalidNodeNameError(const std::string& node_name, const std::string& error_msg,
                       size_t invalid_index)
      : NameValidationError("node name", node_name, error_msg, invalid_index) {}
};

class InvalidNamespaceError : public NameValidationError {
 public:
  InvalidNamespaceError(const std::string& namespace_, const std::string& error_msg,
                        size_t invalid_index)
      : NameValidationError("namespace", namespace_, error_msg, invalid_index) {}
};

class InvalidTopicNameError : public NameValidationError {
 public:
  InvalidTopicNameError(const std::string& topic_name, const std::string& error_msg,
                        size_t invalid_index)
      : NameValidationError("topic name", topic_name, error_msg, invalid_index) {}
};

// A malformed ROS argument or parameter file; the message names the culprit.
class RCLInvalidROSArgsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// ROS arguments that no rule knows.
class UnknownROSArgsError : public std::runtime_error {
 public:
  explicit UnknownROSArgsError(std::vector<std::string>&& unknown_ros_args_in);

  const std::vector<std::string> unknown_ros_args;
};

class InvalidParametersException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class InvalidParameterTypeException : public std::runtime_error {
 public:
  InvalidParameterTypeException(const std::string& name, const std::string& message)
      : std::runtime_error("parameter '" + name + "' has invalid type: " + message) {}
};

// A value the parameter's descriptor refuses (a range), at its declaration.
class InvalidParameterValueException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ParameterAlreadyDeclaredException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ParameterNotDeclaredException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What rcl refused, with its return code; rcl's own message, without the source
// position rcl appends to it.
class RCLErrorBase {
 public:
  RCLErrorBase(int32_t ret, const std::string& message);
  virtual ~RCLErrorBase() = default;

  int32_t ret;
  std::string message;
  std::string file;
  size_t line;
  std::string formatted_message;
};

class RCLError : public RCLErrorBase, public std::runtime_error {
 public:
  RCLError(int32_t ret, const std::string& message, const std::string& prefix = "");
};

}  // namespace exceptions
}  // namespace rclcpp

#endif  // RCLCPP__EXCEPTIONS_HPP_
