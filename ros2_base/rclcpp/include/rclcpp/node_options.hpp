#pragma once

namespace rclcpp {

// Command-line arguments and their parameter overrides always apply; of rclcpp's
// options only the two that decide the node's own endpoints are kept, and one of
// the layer's own.
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

  // Not rclcpp's: every rclcpp node has its time source's /parameter_events
  // subscription, while the hidden node of the ros2 command (rclpy) has none,
  // and ros2_lite's node stands in for that one.
  bool start_time_source_subscription() const { return start_time_source_subscription_; }
  NodeOptions& start_time_source_subscription(bool start) {
    start_time_source_subscription_ = start;
    return *this;
  }

 private:
  bool start_parameter_services_ = true;
  bool start_parameter_event_publisher_ = true;
  bool start_time_source_subscription_ = true;
};

}  // namespace rclcpp
