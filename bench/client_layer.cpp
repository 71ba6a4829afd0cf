// Client layer figures: one-way latency of PoseStamped between two processes
// on loopback (median, p99), the round trip of a parameter service call to
// another process, and the cost of a spin_some with nothing to do.
//
//   bench_client_layer [messages]      (default 500, sent at 100 Hz)
//
// The sender and the server are this program started again as a child; the
// sender stamps each message with CLOCK_MONOTONIC, which both processes
// share. Receiver and server spin without sleeping so that polling adds as
// little as possible.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav_msgs/msg/odometry.hpp"
#include "rcl_interfaces/srv/get_parameters.hpp"
#include "rclcpp/rclcpp.hpp"
#include "test_support/child_process.hpp"

namespace {

using geometry_msgs::msg::PoseStamped;
using Clock = std::chrono::steady_clock;

constexpr auto kSendPeriod = std::chrono::milliseconds(10);
constexpr auto kMatchTimeout = std::chrono::seconds(10);
constexpr int kCalls = 200;
constexpr auto kServeAtMost = std::chrono::seconds(60);

int64_t monotonic_ns() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int run_sender(int count) {
  auto node = std::make_shared<rclcpp::Node>("bench_sender");
  auto pub = node->create_publisher<PoseStamped>("/bench_pose", 10);
  const auto match_end = Clock::now() + kMatchTimeout;
  while (pub->get_subscription_count() == 0 && Clock::now() < match_end && rclcpp::ok()) {
    rclcpp::sleep_for(std::chrono::milliseconds(10));
  }
  std::printf("matched\n");
  std::fflush(stdout);
  rclcpp::WallRate rate(kSendPeriod);
  PoseStamped msg;
  msg.header.frame_id = "base_link";
  for (int i = 0; i < count && rclcpp::ok(); ++i) {
    const int64_t now = monotonic_ns();
    msg.header.stamp.sec = static_cast<int32_t>(now / 1000000000);
    msg.header.stamp.nanosec = static_cast<uint32_t>(now % 1000000000);
    msg.pose.position.x = i;
    pub->publish(msg);
    rate.sleep();
  }
  return 0;
}

// A node whose parameter services answer until it is stopped, or a minute at most.
int run_server() {
  auto node = std::make_shared<rclcpp::Node>("bench_server");
  std::printf("serving\n");
  std::fflush(stdout);
  const auto end = Clock::now() + kServeAtMost;
  while (rclcpp::ok() && Clock::now() < end) {
    rclcpp::spin_some(node);
  }
  return 0;
}

double percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const size_t index = std::min(values.size() - 1, static_cast<size_t>(p * values.size()));
  return values[index];
}

// Calls get_parameters on a server process, one call at a time.
int measure_service_calls(const char* self) {
  using rcl_interfaces::srv::GetParameters;
  test_support::ChildProcess server({self, "--serve"});
  if (!server.wait_for_line_containing("serving", kMatchTimeout)) {
    std::fprintf(stderr, "server did not start: %s\n", server.stderr_text().c_str());
    return 1;
  }
  auto node = std::make_shared<rclcpp::Node>("bench_client");
  auto client = node->create_client<GetParameters>("/bench_server/get_parameters");
  if (!client->wait_for_service(kMatchTimeout)) {
    std::fprintf(stderr, "no get_parameters service\n");
    return 1;
  }
  auto request = std::make_shared<GetParameters::Request>();
  request->names = {"use_sim_time"};
  std::vector<double> round_trips_us;
  for (int i = 0; i < kCalls && rclcpp::ok(); ++i) {
    const auto start = Clock::now();
    auto future = client->async_send_request(request).future;
    if (rclcpp::spin_until_future_complete(node, future, std::chrono::seconds(5)) !=
        rclcpp::FutureReturnCode::SUCCESS) {
      break;
    }
    round_trips_us.push_back(
        std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  if (round_trips_us.empty()) {
    std::fprintf(stderr, "no answer from get_parameters\n");
    return 1;
  }
  std::printf(
      "get_parameters round trip over loopback: %zu/%d calls, median %.1f us, p99 %.1f us\n",
      round_trips_us.size(), kCalls, percentile(round_trips_us, 0.5),
      percentile(round_trips_us, 0.99));
  return 0;
}

int run_receiver(const char* self, int count) {
  auto node = std::make_shared<rclcpp::Node>("bench_receiver");
  std::vector<double> latencies_us;
  latencies_us.reserve(count);
  auto sub =
      node->create_subscription<PoseStamped>("/bench_pose", 10, [&](PoseStamped::SharedPtr msg) {
        const int64_t sent =
            static_cast<int64_t>(msg->header.stamp.sec) * 1000000000 + msg->header.stamp.nanosec;
        latencies_us.push_back((monotonic_ns() - sent) / 1000.0);
      });
  test_support::ChildProcess sender({self, "--send", std::to_string(count)});
  if (!sender.wait_for_line_containing("matched", kMatchTimeout)) {
    std::fprintf(stderr, "sender did not match: %s\n", sender.stderr_text().c_str());
    return 1;
  }
  const auto end = Clock::now() + count * kSendPeriod + std::chrono::seconds(10);
  while (static_cast<int>(latencies_us.size()) < count && Clock::now() < end && rclcpp::ok()) {
    rclcpp::spin_some(node);
  }
  if (latencies_us.empty()) {
    std::fprintf(stderr, "no message received\n");
    return 1;
  }
  std::printf(
      "PoseStamped one-way latency over loopback: %zu/%d messages, median %.1f us, "
      "p99 %.1f us, max %.1f us\n",
      latencies_us.size(), count, percentile(latencies_us, 0.5), percentile(latencies_us, 0.99),
      percentile(latencies_us, 1.0));

  if (const int status = measure_service_calls(self); status != 0) {
    return status;
  }

  // The controller's shape: three subscriptions and the parameter services, nothing waiting.
  auto idle_node = std::make_shared<rclcpp::Node>("bench_idle");
  auto s1 =
      idle_node->create_subscription<PoseStamped>("/idle_a", 1, [](PoseStamped::SharedPtr) {});
  auto s2 = idle_node->create_subscription<nav_msgs::msg::Odometry>(
      "/idle_b", 1, [](nav_msgs::msg::Odometry::SharedPtr) {});
  auto s3 =
      idle_node->create_subscription<PoseStamped>("/idle_c", 1, [](PoseStamped::SharedPtr) {});
  constexpr int kSpins = 100000;
  const auto start = Clock::now();
  for (int i = 0; i < kSpins; ++i) {
    rclcpp::spin_some(idle_node);
  }
  const double ns_per_spin =
      std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kSpins;
  std::printf(
      "empty spin_some, 3 subscriptions and 6 parameter services: %.0f ns per call (%d calls)\n",
      ns_per_spin, kSpins);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    rclcpp::init(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "--serve") {
      const int status = run_server();
      rclcpp::shutdown();
      return status;
    }
    const bool sender = argc > 2 && std::string(argv[1]) == "--send";
    const char* count_arg = sender ? argv[2] : argc > 1 ? argv[1] : "";
    const int count = std::isdigit(static_cast<unsigned char>(count_arg[0]))
                          ? std::max(1, std::atoi(count_arg))
                          : 500;
    const int status =
        sender ? run_sender(count)
               : run_receiver(std::filesystem::read_symlink("/proc/self/exe").c_str(), count);
    rclcpp::shutdown();
    return status;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
