#pragma once

#include <memory>
#include <string>

namespace rclcpp {

// A logger's name, as rclcpp's Logger carries it; a node's is its namespace with
// dots for slashes, then its name ("robot1.align_controller").
class Logger {
 public:
  const char* get_name() const { return name_->c_str(); }

 private:
  friend Logger get_logger(const std::string& name);
  explicit Logger(std::string name) : name_(std::make_shared<const std::string>(std::move(name))) {}

  std::shared_ptr<const std::string> name_;
};

inline Logger get_logger(const std::string& name) { return Logger(name); }

}  // namespace rclcpp
