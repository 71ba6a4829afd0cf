// align_request: the supervisor's side of a docking, from the command line.
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nav_msgs/msg/odometry.hpp>
#include <rclcpp/rclcpp.hpp>

#include "align_request/options.hpp"
#include "align_request/retry_supervisor.hpp"
#include "align_request/supervisor_topics.hpp"

namespace {

using align_request::SupervisorTopics;
using nav_msgs::msg::Odometry;
using Align = SupervisorTopics::Align;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// Our own handlers: a signal must still let the back-off send its stop.
volatile std::sig_atomic_t g_signalled = 0;

extern "C" void on_signal(int) { g_signalled = 1; }

bool running() { return rclcpp::ok() && !g_signalled; }

int run(const align_request::Options& options) {
  auto node = std::make_shared<rclcpp::Node>("align_request");
  SupervisorTopics topics(*node);
  align_request::RetrySupervisor supervisor(options, topics);
  std::optional<Align> result;
  std::optional<double> distance;
  Clock::time_point distance_at;
  const auto start = Clock::now();
  auto now = [start] { return seconds_since(start); };
  topics.feed(supervisor, now, [&result](const Align& m) {
    if (!result) {
      result = m;
    }
  });
  // Published by docking_sim only; on a robot this stays silent.
  auto truth_sub = node->create_subscription<Odometry>(
      "/docking_sim/ground_truth", rclcpp::QoS(1),
      [&distance, &distance_at](Odometry::SharedPtr m) {
        distance = std::hypot(m->pose.pose.position.x, m->pose.pose.position.y);
        distance_at = Clock::now();
      });

  const auto deadline = start + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(options.timeout));
  const bool dock = options.command == align_request::Command::kDock;
  rclcpp::WallRate rate(20.0);
  int reported = 0;
  auto progress = [&](const char* what) {
    const int elapsed = static_cast<int>(seconds_since(start));
    if (elapsed <= reported) {
      return;
    }
    reported = elapsed;
    std::printf("  %3d s  %s", elapsed, what);
    if (distance && seconds_since(distance_at) < 1.0) {
      std::printf(", robot %.2f m from the station", *distance);
    }
    std::printf("\n");
    std::fflush(stdout);
  };

  // Publish only once the controller's subscription has matched ours, and
  // its result publisher ours, so neither the request nor the answer is lost.
  while (running() && Clock::now() < deadline && !topics.controller_discovered()) {
    rclcpp::spin_some(node);
    progress("waiting for align_controller");
    rate.sleep();
  }
  if (!running()) {
    std::printf("interrupted before the request was sent\n");
    return align_request::kExitNoResult;
  }
  if (!topics.controller_discovered()) {
    std::printf("no result: no align_controller answered on /align_request within %g s\n",
                options.timeout);
    return align_request::kExitNoResult;
  }

  if (dock) {
    supervisor.start(now());
    while (!supervisor.finished()) {
      if (!running()) {
        supervisor.interrupt(now());
        break;
      }
      rclcpp::spin_some(node);
      supervisor.tick(now());
      progress(supervisor.backing_off() ? "backing off"
               : supervisor.searching() ? "searching"
               : supervisor.staging()   ? "staging"
                                        : "docking");
      rate.sleep();
    }
    return supervisor.exit_status();
  }

  topics.request(1, 2, 0);
  const auto sent = Clock::now();
  std::printf("retry check requested (1, 2, 0)\n");
  std::fflush(stdout);
  result.reset();
  while (running() && !result && Clock::now() < deadline) {
    rclcpp::spin_some(node);
    progress("retry check running");
    rate.sleep();
  }
  if (!result) {
    if (!running()) {
      std::printf("interrupted: no result\n");
      return align_request::kExitNoResult;
    }
    std::printf("no result within %g s: the retry check was not refused\n", options.timeout);
    return align_request::kExitNotRefused;
  }
  const auto outcome = align_request::interpret_result(options.command, result->enable,
                                                       result->action, result->success);
  std::printf("%s after %.1f s\n", outcome.text.c_str(), seconds_since(sent));
  return outcome.exit_status;
}

}  // namespace

int main(int argc, char** argv) {
  align_request::Options options;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto error = align_request::parse_options(args, options)) {
    std::cerr << "align_request: " << *error << "\n" << align_request::kUsage;
    return align_request::kExitUsage;
  }
  if (options.help) {
    std::cout << align_request::kUsage;
    return 0;
  }
  try {
    rclcpp::init(argc, argv, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    const int status = run(options);
    rclcpp::shutdown();
    return status;
  } catch (const rclcpp::exceptions::RCLInvalidROSArgsError& e) {
    std::cerr << "align_request: " << e.what() << std::endl;
    return align_request::kExitUsage;
  } catch (const rclcpp::exceptions::UnknownROSArgsError& e) {
    std::cerr << "align_request: " << e.what() << std::endl;
    return align_request::kExitUsage;
  } catch (const std::exception& e) {
    std::cerr << "align_request: " << e.what() << std::endl;
    rclcpp::shutdown();
    return align_request::kExitMiddleware;
  }
}
