// docking_client: asks docking_server to dock or undock the robot, as a
// behaviour-tree node or a mission executor would, and reports what it hears.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <rclcpp/rclcpp.hpp>
#include <rclcpp_action/rclcpp_action.hpp>

#include "docking_server/actions.hpp"
#include "docking_server/client_options.hpp"
#include "docking_server/client_report.hpp"

namespace {

using docking_server::ClientOptions;
using docking_server::GoalEnd;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Our own handlers: Ctrl-C must still let the cancel go out.
volatile std::sig_atomic_t g_signalled = 0;

extern "C" void on_signal(int) { g_signalled = 1; }

double seconds_since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// The server's feedback comes at least once a second: this long without a
// word from it, it is gone.
constexpr double kSilence = 10.0;  // s
// After a cancel the server stops the robot within a second.
constexpr double kCancelWait = 5.0;  // s

template <typename ActionT>
int run(rclcpp::Node::SharedPtr node, const std::string& action, typename ActionT::Goal goal,
        const ClientOptions& options) {
  using GoalHandle = rclcpp_action::ClientGoalHandle<ActionT>;
  auto client = rclcpp_action::create_client<ActionT>(node, action);
  const auto start = Clock::now();
  // Polled, so that Ctrl-C ends the wait at once.
  while (!g_signalled && !client->action_server_is_ready() &&
         seconds_since(start) < options.server_timeout) {
    client->wait_for_action_server(100ms);
  }
  if (g_signalled) {
    say("interrupted before the goal was sent");
    return docking_server::kExitNoServer;
  }
  if (!client->action_server_is_ready()) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "no docking_server: no %s action server within %g s",
                  action.c_str(), options.server_timeout);
    say(buf);
    return docking_server::kExitNoServer;
  }

  bool answered = false;
  typename GoalHandle::SharedPtr handle;
  std::optional<typename GoalHandle::WrappedResult> result;
  auto heard_at = Clock::now();
  typename rclcpp_action::Client<ActionT>::SendGoalOptions callbacks;
  callbacks.goal_response_callback = [&](typename GoalHandle::SharedPtr h) {
    answered = true;
    handle = h;
    heard_at = Clock::now();
  };
  callbacks.feedback_callback = [&](typename GoalHandle::SharedPtr,
                                    const std::shared_ptr<const typename ActionT::Feedback> f) {
    heard_at = Clock::now();
    if constexpr (std::is_same_v<ActionT, docking_server::Dock>) {
      say(docking_server::feedback_line(*f));
    } else {
      say(docking_server::feedback_line(*f, seconds_since(start)));
    }
  };
  callbacks.result_callback = [&](const typename GoalHandle::WrappedResult& r) { result = r; };
  client->async_send_goal(goal, callbacks);
  say(action + " goal sent");

  // Ctrl-C: the goal is canceled as soon as it is known, even when the
  // server has not answered yet, so that no dock goes on unwatched.
  std::optional<Clock::time_point> interrupted_at;
  bool cancel_sent = false;
  rclcpp::WallRate rate(50.0);
  while (!result) {
    rclcpp::spin_some(node);
    if (answered && !handle) {
      say(action + " goal rejected: docking_server runs another goal or refused this one");
      return interrupted_at ? docking_server::kExitNoServer : docking_server::kExitFailed;
    }
    if (g_signalled && !interrupted_at) {
      say("interrupted: canceling the goal");
      interrupted_at = Clock::now();
    }
    if (interrupted_at && handle && !cancel_sent) {
      try {
        client->async_cancel_goal(handle);
      } catch (const std::exception&) {  // rclcpp_action: UnknownGoalHandleError
        // Ended meanwhile: its result is on the way.
      }
      cancel_sent = true;
    }
    if (interrupted_at && seconds_since(*interrupted_at) > kCancelWait) {
      say("no result within " + std::to_string(static_cast<int>(kCancelWait)) + " s of the cancel");
      return docking_server::kExitNoServer;
    }
    if (seconds_since(heard_at) > kSilence) {
      say("no word from docking_server for " + std::to_string(static_cast<int>(kSilence)) + " s");
      return docking_server::kExitNoServer;
    }
    rate.sleep();
  }
  const GoalEnd end = result->code == rclcpp_action::ResultCode::SUCCEEDED  ? GoalEnd::kSucceeded
                      : result->code == rclcpp_action::ResultCode::CANCELED ? GoalEnd::kCanceled
                                                                            : GoalEnd::kAborted;
  say(docking_server::result_line(*result->result, end));
  if (end == GoalEnd::kSucceeded && result->result->success) {
    return docking_server::kExitSucceeded;
  }
  return interrupted_at ? docking_server::kExitNoServer : docking_server::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  ClientOptions options;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto error = docking_server::parse_client_options(args, options)) {
    std::cerr << "docking_client: " << *error << "\n" << docking_server::kClientUsage;
    return docking_server::kExitUsage;
  }
  if (options.help) {
    std::cout << docking_server::kClientUsage;
    return 0;
  }
  try {
    rclcpp::init(argc, argv, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
    auto node = std::make_shared<rclcpp::Node>("docking_client");
    int status = 0;
    if (options.command == ClientOptions::Command::kDock) {
      docking_server::Dock::Goal goal;
      goal.max_attempts = static_cast<uint16_t>(options.max_attempts);
      goal.staging_distance = static_cast<float>(options.staging_distance);
      status = run<docking_server::Dock>(node, "dock", goal, options);
    } else {
      docking_server::Undock::Goal goal;
      goal.staging_distance = static_cast<float>(options.staging_distance);
      status = run<docking_server::Undock>(node, "undock", goal, options);
    }
    rclcpp::shutdown();
    return status;
  } catch (const std::exception& e) {
    std::cerr << "docking_client: " << e.what() << std::endl;
    rclcpp::shutdown();
    return docking_server::kExitUsage;
  }
}
