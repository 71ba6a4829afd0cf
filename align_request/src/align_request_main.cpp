// align_request: the supervisor's side of a docking, from the command line.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nav_msgs/msg/odometry.hpp>
#include <quorvane_protocol/msg/align.hpp>
#include <rclcpp/rclcpp.hpp>

#include "align_request/options.hpp"

namespace {

using quorvane_protocol::msg::Align;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

int run(const align_request::Options& options) {
  auto node = std::make_shared<rclcpp::Node>("align_request");
  std::optional<Align> result;
  std::optional<double> distance;
  Clock::time_point distance_at;
  auto request_pub = node->create_publisher<Align>("/align_request", rclcpp::QoS(10));
  auto result_sub = node->create_subscription<Align>("/align_result", rclcpp::QoS(10),
                                                     [&result](Align::SharedPtr m) {
                                                       if (!result) {
                                                         result = *m;
                                                       }
                                                     });
  // Published by docking_sim only; on a robot this stays silent.
  auto truth_sub = node->create_subscription<nav_msgs::msg::Odometry>(
      "/docking_sim/ground_truth", rclcpp::QoS(1),
      [&distance, &distance_at](nav_msgs::msg::Odometry::SharedPtr m) {
        distance = std::hypot(m->pose.pose.position.x, m->pose.pose.position.y);
        distance_at = Clock::now();
      });

  const auto start = Clock::now();
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
  while (rclcpp::ok() && Clock::now() < deadline &&
         (request_pub->get_subscription_count() == 0 || result_sub->get_publisher_count() == 0)) {
    rclcpp::spin_some(node);
    progress("waiting for align_controller");
    rate.sleep();
  }
  if (!rclcpp::ok()) {
    std::printf("interrupted before the request was sent\n");
    return align_request::kExitNoResult;
  }
  if (request_pub->get_subscription_count() == 0 || result_sub->get_publisher_count() == 0) {
    std::printf("no result: no align_controller answered on /align_request within %g s\n",
                options.timeout);
    return align_request::kExitNoResult;
  }

  Align request;
  request.enable = 1;
  request.action = dock ? 0 : 2;
  request.success = 0;
  request_pub->publish(request);
  const auto sent = Clock::now();
  std::printf("%s requested (1, %d, 0)\n", dock ? "docking" : "retry check", request.action);
  std::fflush(stdout);

  while (rclcpp::ok() && !result && Clock::now() < deadline) {
    rclcpp::spin_some(node);
    progress(dock ? "docking" : "retry check running");
    rate.sleep();
  }
  if (!result) {
    if (!rclcpp::ok()) {
      std::printf("interrupted: no result\n");
    } else if (dock) {
      std::printf("no result within %g s\n", options.timeout);
    } else {
      std::printf("no result within %g s: the retry check was not refused\n", options.timeout);
    }
    return align_request::kExitNoResult;
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
    rclcpp::init(argc, argv);
    const int status = run(options);
    rclcpp::shutdown();
    return status;
  } catch (const std::exception& e) {
    std::cerr << "align_request: " << e.what() << std::endl;
    rclcpp::shutdown();
    return align_request::kExitUsage;
  }
}
