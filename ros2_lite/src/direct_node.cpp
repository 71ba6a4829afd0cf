#include "direct_node.hpp"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <stdexcept>
#include <string>

#include "rclcpp/utilities.hpp"

namespace ros2_lite {
namespace {

constexpr double kDefaultSpinTime = 0.5;  // seconds, as ros2cli

// Parsing took it as Python's float() does; ros2cli would fail on a negative
// period or wait for ever on an infinite one.
double spin_time(const ParsedArgs& args) {
  const auto given = args.values.find("--spin-time");
  if (given == args.values.end()) {
    return kDefaultSpinTime;
  }
  const double seconds = python_float_value(given->second).value_or(-1.0);
  if (!std::isfinite(seconds) || seconds < 0) {
    throw std::runtime_error("--spin-time must be a finite number of seconds, not negative: '" +
                             given->second + "'");
  }
  return seconds;
}

}  // namespace

std::vector<Argument> DirectNode::options(const std::vector<Argument>& own) {
  std::vector<Argument> options{
      {{"--spin-time"},
       "",
       Nargs::kOne,
       "Spin time in seconds to wait for discovery (only applies when not using an already "
       "running daemon)",
       true},
      // Scripts written for ros2 pass these; what ros2_lite does with them is said here.
      {{"-s", "--use-sim-time"},
       "",
       Nargs::kZero,
       "Accepted for scripts written for ros2; ros2_lite has no ROS time: the discovery wait "
       "is --spin-time seconds of wall time, not of /clock"},
      {{"--no-daemon"},
       "",
       Nargs::kZero,
       "Accepted for scripts written for ros2; ros2_lite has no daemon and always discovers "
       "the graph itself"}};
  options.insert(options.end(), own.begin(), own.end());
  return options;
}

DirectNode::DirectNode(const ParsedArgs& args) {
  const double seconds = spin_time(args);
  const char* argv[] = {"ros2_lite"};
  rclcpp::init(1, argv);
  // Endpoints as the ros2 command's own node has them.
  node_ = std::make_shared<rclcpp::Node>(
      "_ros2_lite_" + std::to_string(getpid()),
      rclcpp::NodeOptions().start_parameter_services(false).start_time_source_subscription(false));
  rclcpp::sleep_for(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(seconds)));
}

DirectNode::~DirectNode() {
  node_.reset();
  rclcpp::shutdown();
}

}  // namespace ros2_lite
