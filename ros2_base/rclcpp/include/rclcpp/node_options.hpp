#pragma once

namespace rclcpp {

// Command-line arguments and their parameter overrides always apply; of rclcpp's
// options only the two that decide the node's own endpoints are kept.
class NodeOptions {
 public:
  NodeOptions() = default;

  bool start_parameter_services() const { return start_parameter_services_; }
  NodeOptions& start_parameter_services(bool start) {
    start_parameter_services_ = start;
    return *this;
  }

  bool start_parameter_event_publisher() const { return start_parameter_event_publisher_; }
  NodeOptions& start_parameter_event_publisher(bool start) {
    start_parameter_event_publisher_ = start;
    return *this;
  }

 private:
  bool start_parameter_services_ = true;
  bool start_parameter_event_publisher_ = true;
};

}  // namespace rclcpp
