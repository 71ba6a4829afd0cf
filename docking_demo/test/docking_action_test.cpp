// The dock and undock actions in the closed loop: docking_sim, the real
// align_controller, docking_server and docking_client, each a separate
// process on a domain of its own, judged by the simulator's ground truth.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "closed_loop.hpp"

namespace {

using namespace std::chrono_literals;
using test_support::ChildProcess;

// From the negative side the controller's lateral term cannot turn the robot
// back onto the axis: the first attempt never docks.
const std::vector<std::string> kFailingStart = {"start_y:=-0.3"};

std::vector<std::string> lines_with(const std::string& text, const std::string& what) {
  std::vector<std::string> found;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find(what) != std::string::npos) found.push_back(line);
  }
  return found;
}

bool has(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

// Docked by the ground truth: within the controller's bounds, at rest near the station.
void expect_docked(const Row& end) {
  EXPECT_LT(end.x, 0.25);
  EXPECT_LT(std::abs(end.y), 0.04);
  EXPECT_LT(std::abs(end.heading), 0.15);
}

// The server drives only forward, within its speed and turn rate; the
// controller only backwards or on the spot. Returns how long the trajectory
// shows forward commands (s).
double forward_time(const std::vector<Row>& rows) {
  double t = 0.0;
  for (size_t i = 1; i < rows.size(); ++i) {
    const Row& r = rows[i];
    EXPECT_TRUE(std::isfinite(r.cmd_v) && std::isfinite(r.cmd_w)) << "at " << r.t;
    if (r.cmd_v > 0.0) {
      EXPECT_LE(r.cmd_v, 0.1 + 1e-9) << "at " << r.t;
      EXPECT_LE(std::abs(r.cmd_w), 0.2 + 1e-9) << "at " << r.t;
      t += r.t - rows[i - 1].t;
    }
  }
  return t;
}

class DockingAction : public ClosedLoop {
 protected:
  // Starts docking_server with these parameters and waits until it serves.
  void serve(const std::vector<std::string>& parameters = {}) {
    std::vector<std::string> args{"--ros-args"};
    for (const auto& p : parameters) args.insert(args.end(), {"-p", p});
    server_ = launch(DOCKING_SERVER, args);
    ASSERT_TRUE(server_->wait_for_line_containing("serving dock and undock", 20s))
        << server_->stderr_text();
  }
  std::unique_ptr<ChildProcess> client(const std::vector<std::string>& args) const {
    return launch(DOCKING_CLIENT, args);
  }
  // Runs a client to its end.
  int run_client(const std::vector<std::string>& args, std::string& out) const {
    auto c = client(args);
    const auto status = c->wait_exit(400s);
    out = c->stdout_text();
    return status.value_or(-1);
  }
  void stop_server() {
    server_->send_signal(SIGTERM);
    EXPECT_EQ(server_->wait_exit(10s), 0) << server_->stderr_text();
  }
  std::string server_log() const { return server_->stdout_text(); }

  std::unique_ptr<ChildProcess> server_;
};

// One goal at a time: a second dock and an undock are rejected while a dock
// runs; the dock succeeds, and an undock takes the robot out to the staging
// distance.
TEST_F(DockingAction, DocksRejectsOtherGoalsMeanwhileThenUndocks) {
  std::string failures;
  for (int domain : {110, 111, 112}) {
    start(domain, kNoiselessCamera);
    serve();
    auto dock = client({"dock"});
    ASSERT_TRUE(dock->wait_for_line_containing("attempt 1 of 3, docking", 30s))
        << dock->stdout_text() << server_log();
    std::string out;
    EXPECT_EQ(run_client({"dock"}, out), 1) << out;
    EXPECT_TRUE(has(out, "dock goal rejected")) << out;
    EXPECT_EQ(run_client({"undock"}, out), 1) << out;
    EXPECT_TRUE(has(out, "undock goal rejected")) << out;
    EXPECT_TRUE(has(server_log(), "dock goal rejected: another goal is running"));

    const auto status = dock->wait_exit(400s);
    out = dock->stdout_text();
    if (status == 0) {
      EXPECT_TRUE(has(out, "\ndocked; ")) << out;
      expect_docked(last_row(csv_));
      // Forward only in back-offs: none when the first attempt docked.
      const double backing_off = forward_time(read_rows(csv_));
      if (has(out, "docked; 1 attempt")) {
        EXPECT_EQ(backing_off, 0.0) << "a command while the controller docked";
      }

      std::string undock;
      EXPECT_EQ(run_client({"undock"}, undock), 0) << undock << server_log();
      EXPECT_TRUE(has(undock, "undocking: ")) << undock;
      EXPECT_TRUE(has(undock, "undocked; 1.5")) << undock;
      EXPECT_TRUE(comes_to_rest(2s));
      const Row end = stop_sim();
      EXPECT_GT(std::hypot(end.x, end.y), 1.45);
      EXPECT_LT(std::hypot(end.x, end.y), 1.6);
      EXPECT_LT(std::abs(end.y), 0.05) << "the undock steers onto the axis";
      EXPECT_GT(forward_time(read_rows(csv_)) - backing_off, 10.0) << "1.3 m at 0.1 m/s";
      stop_server();
      return;
    }
    std::cout << "run on domain " << domain << " did not dock:\n" << out;
    failures += out;
    stop_server();
    stop_all();
  }
  ADD_FAILURE() << "no docking in three runs:\n" << failures;
}

// A first attempt that cannot dock: the feedback shows the back-off, the
// retry check and the staging, at least once a second, and the second attempt
// docks. A run that does not is retried afresh on the next domain.
TEST_F(DockingAction, FailedFirstAttemptDocksAtTheSecond) {
  std::string failures;
  for (int domain : {113, 114, 115}) {
    start(domain, {"start_y:=-0.3", "seed:=" + std::to_string(domain)});
    serve();
    std::string out;
    const int status = run_client({"dock", "--max-attempts", "2"}, out);
    stop_server();
    stop_all();
    const auto rows = read_rows(csv_);
    EXPECT_GT(forward_time(rows), 0.0);
    const auto feedback = lines_with(out, " s  attempt ");
    ASSERT_FALSE(feedback.empty()) << out;
    double previous = 0.0;
    for (const auto& line : feedback) {
      const double elapsed = std::stod(line);
      EXPECT_LE(elapsed - previous, 1.0) << "feedback fell silent before: " << line;
      previous = elapsed;
    }
    if (status == 0) {
      for (const char* state :
           {"attempt 1 of 2, docking", "attempt 1 of 2, backing off", "attempt 1 of 2, retry check",
            "attempt 1 of 2, staging", "attempt 2 of 2, docking"}) {
        EXPECT_TRUE(has(out, state)) << state << " missing in\n" << out;
      }
      EXPECT_TRUE(has(out, "docked; 2 attempts")) << out;
      expect_docked(rows.back());
      return;
    }
    std::cout << "run on domain " << domain << " did not dock:\n" << out;
    failures += out;
  }
  ADD_FAILURE() << "no later attempt docked in three runs:\n" << failures;
}

// Ctrl-C on the client cancels its goal in the approach: the robot is at rest
// at once, with no base watchdog to help, the controller's attempt paused,
// and the next goal docks.
TEST_F(DockingAction, CancelMidApproachStopsTheRobotAndTheNextGoalDocks) {
  std::string failures;
  for (int domain : {116, 117}) {
    start(domain, {"cmd_timeout:=0.0", "noise_xy:=0.0", "noise_theta:=0.0", "dropout:=0.0"});
    serve();
    auto dock = client({"dock"});
    ASSERT_TRUE(
        test_support::wait_until([&] { return controller_line("step 4 ***").has_value(); }, 60s))
        << dock->stdout_text();
    ASSERT_TRUE(test_support::wait_until([&] { return last_row(csv_).v < 0.0; }, 10s))
        << "not approaching";
    const auto canceled = std::chrono::steady_clock::now();
    dock->send_signal(SIGINT);
    EXPECT_TRUE(comes_to_rest(2s)) << "still moving 2 s after the cancel";
    const auto rest = std::chrono::steady_clock::now() - canceled;
    EXPECT_EQ(dock->wait_exit(10s), 2);
    const std::string out = dock->stdout_text();
    EXPECT_TRUE(has(out, "interrupted: canceling the goal")) << out;
    EXPECT_TRUE(has(out, "canceled; 1 attempt")) << out;
    EXPECT_TRUE(has(server_log(), "goal canceled, error code 6")) << server_log();
    EXPECT_TRUE(controller_logged("Align request callback: 0, 0, 0"));
    // In the simulator's time: from the zero command to the wheels at rest.
    const auto rows = read_rows(csv_);
    size_t zero = rows.size();
    while (zero > 0 && rows[zero - 1].cmd_v == 0.0 && rows[zero - 1].cmd_w == 0.0) --zero;
    ASSERT_LT(zero, rows.size());
    size_t at_rest = zero;
    while (at_rest < rows.size() && (rows[at_rest].v != 0.0 || rows[at_rest].w != 0.0)) ++at_rest;
    ASSERT_LT(at_rest, rows.size());
    EXPECT_LE(rows[at_rest].t - rows[zero].t, 0.5);
    std::cout << "at rest " << std::chrono::duration<double>(rest).count()
              << " s after the Ctrl-C, " << rows[at_rest].t - rows[zero].t
              << " s after the zero command\n";
    // Paused, the controller sends nothing more.
    const size_t before = rows.size();
    EXPECT_FALSE(test_support::wait_until(
        [&] {
          const auto later = read_rows(csv_);
          for (size_t i = before; i < later.size(); ++i) {
            if (later[i].cmd_v != 0.0 || later[i].cmd_w != 0.0) return true;
          }
          return false;
        },
        1s))
        << "a command after the cancel";

    std::string again;
    const int status = run_client({"dock"}, again);
    stop_server();
    stop_all();
    for (const auto& line : lines_with(again, "docked")) {
      std::cout << "the goal after the cancel: " << line << "\n";
    }
    if (status == 0) {
      EXPECT_TRUE(has(again, "attempt 1 of 3, docking")) << again;
      expect_docked(last_row(csv_));
      return;
    }
    std::cout << "the goal after the cancel on domain " << domain << " did not dock:\n" << again;
    failures += again;
  }
  ADD_FAILURE() << "no docking after the cancel in two runs:\n" << failures;
}

// A camera frozen from the start: the attempt fails, and the back-off finds
// perception frozen and stops the robot; no base watchdog to help.
TEST_F(DockingAction, FrozenCameraEndsPerceptionFrozenWithTheRobotAtRest) {
  start(118, {"freeze_after:=0.0", "cmd_timeout:=0.0"});
  serve();
  std::string out;
  EXPECT_EQ(run_client({"dock"}, out), 1) << out << server_log();
  EXPECT_TRUE(has(out, "not docked: PERCEPTION_FROZEN (2)")) << out;
  EXPECT_TRUE(comes_to_rest(2s));
  // Its start allowance and the camera's stillness bound it.
  EXPECT_LT(forward_time(read_rows(csv_)), 2.5) << "the back-off went on too long";
  stop_server();
  stop_all();
}

TEST_F(DockingAction, NoControllerEndsControllerUnavailableWithinItsTimeout) {
  domain_ = 119;
  start_sim({});
  serve({"controller_timeout:=3.0"});
  const auto sent = std::chrono::steady_clock::now();
  std::string out;
  EXPECT_EQ(run_client({"dock"}, out), 1) << out;
  const auto took = std::chrono::steady_clock::now() - sent;
  EXPECT_TRUE(has(out, "not docked: CONTROLLER_UNAVAILABLE (5)")) << out;
  EXPECT_TRUE(has(out, "0 attempts")) << out;
  EXPECT_GE(took, 3s);
  EXPECT_LT(took, 10s);
  stop_server();
  const Row end = stop_sim();
  EXPECT_EQ(end.cmd_v, 0.0);
  EXPECT_EQ(forward_time(read_rows(csv_)), 0.0);
}

}  // namespace
