// docking_server: docking and undocking as ROS 2 actions, for robot software.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <rclcpp/rclcpp.hpp>

#include "align_request/options.hpp"
#include "docking_server/docking_server.hpp"
#include "docking_server/server_parameters.hpp"

namespace {

using Clock = std::chrono::steady_clock;

// Our own handlers: a signal must still let the stop go out.
volatile std::sig_atomic_t g_signalled = 0;

extern "C" void on_signal(int) { g_signalled = 1; }

bool running() { return rclcpp::ok() && !g_signalled; }

// Spins and ticks at 20 Hz while keep_on() holds, up to seconds.
template <typename Condition>
void serve(rclcpp::Node::SharedPtr node, docking_server::DockingServer& server, double seconds,
           Condition keep_on) {
  rclcpp::WallRate rate(20.0);
  const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(seconds));
  while (keep_on() && Clock::now() < until) {
    rclcpp::spin_some(node);
    server.tick();
    rate.sleep();
  }
}

const char* const kUsage =
    "usage: docking_server [-h|--help] [--ros-args [-p NAME:=VALUE]... [--params-file FILE]\n"
    "                      [-r FROM:=TO]... --]\n"
    "Offers dock and undock as ROS 2 actions (docking_interfaces/action/Dock, Undock)\n"
    "and asks align_controller for each docking through its topics.\n"
    "Parameters are read once at start-up and are read-only while it runs; their\n"
    "meanings, units and ranges: ros2 param describe /docking_server NAME.\n"
    "exit status: 0 ended by SIGINT or SIGTERM, 1 start-up failure\n";

}  // namespace

int main(int argc, char** argv) {
  if (align_request::help_asked(std::vector<std::string>(argv + 1, argv + argc))) {
    std::cout << kUsage;
    return 0;
  }
  try {
    rclcpp::init(argc, argv, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    auto node = std::make_shared<rclcpp::Node>("docking_server");
    const auto parameters = docking_server::declare_parameters(*node);
    const auto start = Clock::now();
    docking_server::DockingServer server(node, parameters, [start] {
      return std::chrono::duration<double>(Clock::now() - start).count();
    });
    std::printf(
        "docking_server: serving dock and undock (max_attempts %d, staging_distance %.2f m, "
        "backoff_speed %.2f m/s, attempt_timeout %g s, controller_timeout %g s, "
        "perception_timeout %g s, stage_first %s)\n",
        parameters.max_attempts, parameters.staging_distance, parameters.backoff_speed,
        parameters.attempt_timeout, parameters.controller_timeout, parameters.perception_timeout,
        parameters.stage_first ? "true" : "false");
    std::fflush(stdout);
    serve(node, server, 1e9, running);
    // A running goal stops the robot, holds the stop and ends; its result
    // and the last commands get out before the node goes.
    server.shut_down();
    serve(node, server, 2.0, [&server] { return server.busy(); });
    serve(node, server, 0.3, [] { return true; });
    rclcpp::shutdown();
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "docking_server: " << e.what() << std::endl;
    rclcpp::shutdown();
    return 1;
  }
}
