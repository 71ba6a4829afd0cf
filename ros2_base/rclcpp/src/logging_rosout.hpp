#pragma once

#include <memory>
#include <string>

#include "rcl_interfaces/msg/log.hpp"
#include "rclcpp/publisher.hpp"

namespace rclcpp_dds {

using RosoutPublisher = rclcpp::Publisher<rcl_interfaces::msg::Log>;

// The node loggers that rcl_logging_rosout_output_handler publishes for, as rcl
// keeps them: the first node of a logger name keeps it until that node goes.
void add_rosout_logger(const std::string& logger_name, std::shared_ptr<RosoutPublisher> publisher);
void remove_rosout_logger(const std::string& logger_name, const RosoutPublisher* publisher);

}  // namespace rclcpp_dds
