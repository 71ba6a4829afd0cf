#pragma once

#include <chrono>

#include "rclcpp/init_options.hpp"

namespace rclcpp {

// Parses the ROS arguments, reads ROS_DOMAIN_ID and joins the DDS domain.
// Throws on a malformed argument, a bad ROS_DOMAIN_ID, or when already
// initialised.
void init(int argc, char const* const* argv, const InitOptions& init_options = InitOptions(),
          SignalHandlerOptions signal_handler_options = SignalHandlerOptions::All);

// True between init() and shutdown() or a handled SIGINT/SIGTERM.
bool ok();

// Makes ok() false, wakes every sleeper and releases the DDS entities.
// False if there was nothing to shut down.
bool shutdown();

// Sleeps unless shut down meanwhile: true if the whole duration passed.
bool sleep_for(const std::chrono::nanoseconds& nanoseconds);

}  // namespace rclcpp
