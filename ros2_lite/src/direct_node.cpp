#include "direct_node.hpp"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <string>

#include "rclcpp/utilities.hpp"

namespace ros2_lite {
namespace {

constexpr double kDefaultSpinTime = 0.5;  // seconds, as ros2cli

double spin_time(const ParsedArgs& args) {
  const auto given = args.values.find("--spin-time");
  if (given == args.values.end()) {
    return kDefaultSpinTime;
  }
  size_t used = 0;
  double seconds = -1.0;
  try {
    seconds = std::stod(given->second, &used);
  } catch (const std::exception&) {
  }
  if (used != given->second.size() || !std::isfinite(seconds) || seconds < 0) {
    throw UsageError("argument --spin-time: invalid float value: '" + given->second + "'");
  }
  return seconds;
}

}  // namespace

std::vector<Option> DirectNode::options(const std::vector<Option>& own) {
  std::vector<Option> options{
      {"--spin-time", "", "SPIN_TIME"}, {"--use-sim-time", "-s", ""}, {"--no-daemon", "", ""}};
  options.insert(options.end(), own.begin(), own.end());
  return options;
}

DirectNode::DirectNode(const ParsedArgs& args) {
  const double seconds = spin_time(args);
  const char* argv[] = {"ros2_lite"};
  rclcpp::init(1, argv);
  node_ = std::make_shared<rclcpp::Node>("_ros2_lite_" + std::to_string(getpid()),
                                         rclcpp::NodeOptions().start_parameter_services(false));
  rclcpp::sleep_for(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(seconds)));
}

DirectNode::~DirectNode() {
  node_.reset();
  rclcpp::shutdown();
}

}  // namespace ros2_lite
