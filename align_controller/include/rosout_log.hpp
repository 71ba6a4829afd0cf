#pragma once

#include "rclcpp/rclcpp.hpp"

// While it lives, every log line also goes to /rosout through the node logger's own
// rosout publisher, by rcl's rosout output handler: as RCLCPP_INFO would put it there,
// without a console line of rcutils and without a second /rosout publisher.
// With --disable-rosout-logs the node has no rosout publisher and nothing goes.
class RosoutLog {
 public:
  explicit RosoutLog(const rclcpp::Node& node);
  ~RosoutLog();
  RosoutLog(const RosoutLog&) = delete;
  RosoutLog& operator=(const RosoutLog&) = delete;
};
