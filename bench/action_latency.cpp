// Action figures between two processes on loopback: the goal-accept round trip
// (a goal sent to its response back at the client) and the one-way latency of
// feedback. Built against the layer and against the real rclcpp_action alike.
//
//   bench_action_latency [goals]      (default 200, one at a time, 10 feedback each)
//
// The server is this program started again as a child; it stamps each feedback
// with CLOCK_MONOTONIC, which both processes share. Both sides spin without
// sleeping so that polling adds as little as possible.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "docking_interfaces/action/dock.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "test_support/child_process.hpp"

namespace {

using Dock = docking_interfaces::action::Dock;
using Clock = std::chrono::steady_clock;

constexpr int kFeedbackPerGoal = 10;
constexpr auto kFeedbackPeriod = std::chrono::milliseconds(2);
constexpr auto kMatchTimeout = std::chrono::seconds(10);
constexpr auto kGoalTimeout = std::chrono::seconds(5);
constexpr auto kServeAtMost = std::chrono::seconds(120);

int64_t monotonic_ns() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

double percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const size_t index = std::min(values.size() - 1, static_cast<size_t>(p * values.size()));
  return values[index];
}

// Accepts every goal, sends its feedback at 500 Hz, then succeeds; until stopped,
// or two minutes at most.
int run_server() {
  auto node = std::make_shared<rclcpp::Node>("bench_action_server");
  struct Running {
    std::shared_ptr<rclcpp_action::ServerGoalHandle<Dock>> handle;
    int sent = 0;
    Clock::time_point next;
  };
  std::vector<Running> running;
  auto server = rclcpp_action::create_server<Dock>(
      node, "/bench_dock",
      [](const rclcpp_action::GoalUUID&, std::shared_ptr<const Dock::Goal>) {
        return rclcpp_action::GoalResponse::ACCEPT_AND_EXECUTE;
      },
      [](std::shared_ptr<rclcpp_action::ServerGoalHandle<Dock>>) {
        return rclcpp_action::CancelResponse::ACCEPT;
      },
      [&running](std::shared_ptr<rclcpp_action::ServerGoalHandle<Dock>> handle) {
        running.push_back({handle, 0, Clock::now() + kFeedbackPeriod});
      });
  std::printf("serving\n");
  std::fflush(stdout);
  const auto end = Clock::now() + kServeAtMost;
  auto feedback = std::make_shared<Dock::Feedback>();
  while (rclcpp::ok() && Clock::now() < end) {
    rclcpp::spin_some(node);
    const auto now = Clock::now();
    for (auto it = running.begin(); it != running.end();) {
      if (now < it->next) {
        ++it;
      } else if (it->sent < kFeedbackPerGoal) {
        const int64_t stamp = monotonic_ns();
        feedback->elapsed.sec = static_cast<int32_t>(stamp / 1000000000);
        feedback->elapsed.nanosec = static_cast<uint32_t>(stamp % 1000000000);
        feedback->attempt = static_cast<uint16_t>(++it->sent);
        it->handle->publish_feedback(feedback);
        it->next = now + kFeedbackPeriod;
        ++it;
      } else {
        it->handle->succeed(std::make_shared<Dock::Result>());
        it = running.erase(it);
      }
    }
  }
  return 0;
}

int run_client(const char* self, int goals) {
  test_support::ChildProcess server({self, "--serve"});
  if (!server.wait_for_line_containing("serving", kMatchTimeout)) {
    std::fprintf(stderr, "server did not start: %s\n", server.stderr_text().c_str());
    return 1;
  }
  auto node = std::make_shared<rclcpp::Node>("bench_action_client");
  auto client = rclcpp_action::create_client<Dock>(node, "/bench_dock");
  if (!client->wait_for_action_server(kMatchTimeout)) {
    std::fprintf(stderr, "no action server\n");
    return 1;
  }
  std::vector<double> accept_us;
  std::vector<double> feedback_us;
  for (int i = 0; i < goals && rclcpp::ok(); ++i) {
    bool done = false;
    rclcpp_action::Client<Dock>::SendGoalOptions options;
    options.feedback_callback = [&feedback_us](rclcpp_action::ClientGoalHandle<Dock>::SharedPtr,
                                               const std::shared_ptr<const Dock::Feedback> f) {
      const int64_t sent = static_cast<int64_t>(f->elapsed.sec) * 1000000000 + f->elapsed.nanosec;
      feedback_us.push_back((monotonic_ns() - sent) / 1000.0);
    };
    options.result_callback = [&done](const rclcpp_action::ClientGoalHandle<Dock>::WrappedResult&) {
      done = true;
    };
    const int64_t start = monotonic_ns();
    auto future = client->async_send_goal(Dock::Goal(), options);
    const auto deadline = Clock::now() + kGoalTimeout;
    while (future.wait_for(std::chrono::seconds(0)) != std::future_status::ready &&
           Clock::now() < deadline && rclcpp::ok()) {
      rclcpp::spin_some(node);
    }
    if (future.wait_for(std::chrono::seconds(0)) != std::future_status::ready || !future.get()) {
      std::fprintf(stderr, "goal %d not accepted\n", i);
      return 1;
    }
    accept_us.push_back((monotonic_ns() - start) / 1000.0);
    while (!done && Clock::now() < deadline && rclcpp::ok()) {
      rclcpp::spin_some(node);
    }
  }
  if (accept_us.empty() || feedback_us.empty()) {
    std::fprintf(stderr, "no goals measured\n");
    return 1;
  }
  std::printf("goal accept round trip over loopback: %zu goals, median %.1f us, p99 %.1f us\n",
              accept_us.size(), percentile(accept_us, 0.5), percentile(accept_us, 0.99));
  std::printf("feedback one-way latency over loopback: %zu messages, median %.1f us, p99 %.1f us\n",
              feedback_us.size(), percentile(feedback_us, 0.5), percentile(feedback_us, 0.99));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  rclcpp::init(argc, argv);
  int status = 1;
  if (argc > 1 && std::string(argv[1]) == "--serve") {
    status = run_server();
  } else {
    const int goals = argc > 1 ? std::atoi(argv[1]) : 200;
    if (goals <= 0) {
      std::fprintf(stderr, "usage: bench_action_latency [goals]\n");
    } else {
      status = run_client(std::filesystem::read_symlink("/proc/self/exe").c_str(), goals);
    }
  }
  rclcpp::shutdown();
  return status;
}
