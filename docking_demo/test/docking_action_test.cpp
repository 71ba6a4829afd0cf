// The dock and undock actions in the closed loop: docking_sim, the real
// align_controller, docking_server and docking_client, each a separate
// process on a domain of its own, started, stopped and judged by the shared
// closed-loop runner.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cmath>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "closed_loop.hpp"

namespace {

using namespace std::chrono_literals;

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

// The index of the first row of the last stretch of forward commands: the
// undock's, after the dock and its back-offs; rows.size() when there is none.
size_t last_forward_stretch(const std::vector<Row>& rows) {
  size_t end = rows.size();
  while (end > 0 && rows[end - 1].cmd_v <= 0.0) --end;
  if (end == 0) return rows.size();
  size_t begin = end - 1;
  while (begin > 0 && rows[begin - 1].cmd_v > 0.0) --begin;
  return begin;
}

class DockingAction : public ClosedLoop {
 protected:
  // docking_server with these parameters, up once it serves, and docking_client
  // with these arguments as the supervisor; then the further options.
  LoopRun& start_action(int domain, const std::vector<std::string>& sim_params,
                        const std::vector<std::string>& client_args,
                        const std::vector<std::string>& server_params = {},
                        const std::vector<std::string>& more = {}) {
    std::vector<std::string> server{"docking_server", "--ros-args"};
    for (const auto& p : server_params) server.insert(server.end(), {"-p", p});
    auto options = program_option("--start", server);
    options.insert(options.end(), {"--ready", "docking_server", "serving dock and undock"});
    std::vector<std::string> client{"docking_server/docking_client"};
    client.insert(client.end(), client_args.begin(), client_args.end());
    for (const auto& o : program_option("--supervisor", client)) options.push_back(o);
    options.insert(options.end(), more.begin(), more.end());
    return start(domain, options, sim_params);
  }
  // Runs a client beside the loop to its end.
  int run_client(const std::vector<std::string>& args, std::string& out) const {
    std::vector<std::string> argv{DOCKING_CLIENT};
    argv.insert(argv.end(), args.begin(), args.end());
    auto c = loop_->launch(argv);
    const auto status = c->wait_exit(60s);
    out = c->stdout_text();
    return status.value_or(-1);
  }
  // The runner's status at the end of the run, -1 when it did not end in time.
  int finish() {
    const auto status = loop_->wait_exit(450s);
    EXPECT_TRUE(status) << "the closed loop did not end in time";
    EXPECT_EQ(loop_->exit_status("docking_server").value_or(-1), 0) << server_log();
    return status.value_or(-1);
  }
  std::string client_log() const { return loop_->log("docking_client"); }
  std::string server_log() const { return loop_->log("docking_server"); }
  bool running() { return !loop_->wait_exit(0ms).has_value(); }
};

// One goal at a time: a second dock and an undock are rejected while a dock
// runs; the dock succeeds, and an undock takes the robot out to the staging
// distance.
TEST_F(DockingAction, DocksRejectsOtherGoalsMeanwhileThenUndocks) {
  std::string failures;
  for (int domain : {110, 111, 112}) {
    auto& loop =
        start_action(domain, kNoiselessCamera, {"dock"}, {},
                     program_option("--after", {"undock=docking_server/docking_client", "undock"}));
    ASSERT_TRUE(test_support::wait_until(
        [&] { return has(client_log(), "attempt 1 of 3, docking") || !running(); }, 30s));
    ASSERT_TRUE(has(client_log(), "attempt 1 of 3, docking"))
        << client_log() << server_log() << loop.runner_output();
    std::string out;
    EXPECT_EQ(run_client({"dock"}, out), 1) << out;
    EXPECT_TRUE(has(out, "dock goal rejected")) << out;
    EXPECT_EQ(run_client({"undock"}, out), 1) << out;
    EXPECT_TRUE(has(out, "undock goal rejected")) << out;
    EXPECT_TRUE(has(server_log(), "dock goal rejected: another goal is running"));

    const int status = finish();
    out = client_log();
    if (status == 0) {
      EXPECT_TRUE(has(out, "\ndocked; ")) << out;
      const auto rows = loop.rows();
      const size_t undock = last_forward_stretch(rows);
      ASSERT_GT(undock, 0u);
      ASSERT_LT(undock, rows.size()) << "the undock did not drive";
      expect_docked(rows[undock - 1]);
      // Forward only in back-offs: none when the first attempt docked.
      const std::vector<Row> docking(rows.begin(), rows.begin() + undock);
      const double backing_off = forward_time(docking);
      if (has(out, "docked; 1 attempt")) {
        EXPECT_EQ(backing_off, 0.0) << "a command while the controller docked";
      }

      const std::string undocking = loop.log("undock");
      EXPECT_EQ(loop.exit_status("undock").value_or(-1), 0) << undocking << server_log();
      EXPECT_TRUE(has(undocking, "undocking: ")) << undocking;
      EXPECT_TRUE(has(undocking, "undocked; 1.5")) << undocking;
      // The runner keeps the simulator a second after the last program.
      const Row end = rows.back();
      EXPECT_TRUE(at_rest(end));
      EXPECT_GT(std::hypot(end.x, end.y), 1.45);
      EXPECT_LT(std::hypot(end.x, end.y), 1.6);
      EXPECT_LT(std::abs(end.y), 0.05) << "the undock steers onto the axis";
      EXPECT_GT(forward_time(rows) - backing_off, 10.0) << "1.3 m at 0.1 m/s";
      return;
    }
    std::cout << "run on domain " << domain << " did not dock:\n" << out;
    failures += out;
  }
  ADD_FAILURE() << "no docking in three runs:\n" << failures;
}

// A first attempt that cannot dock: the feedback shows the back-off, the
// retry check and the staging, at least once a second, and the second attempt
// docks. A run that does not is retried afresh on the next domain.
TEST_F(DockingAction, FailedFirstAttemptDocksAtTheSecond) {
  std::string failures;
  for (int domain : {113, 114, 115}) {
    start_action(domain, {"start_y:=-0.3", "seed:=" + std::to_string(domain)},
                 {"dock", "--max-attempts", "2"});
    const int status = finish();
    const std::string out = client_log();
    const auto rows = loop_->rows();
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
    // After the canceled goal: a second in which the paused controller must
    // send nothing, then the next goal.
    auto after = program_option("--after", {"paused=sleep", "1"});
    for (const auto& o :
         program_option("--after", {"again=docking_server/docking_client", "dock"})) {
      after.push_back(o);
    }
    auto& loop = start_action(
        domain, {"cmd_timeout:=0.0", "noise_xy:=0.0", "noise_theta:=0.0", "dropout:=0.0"}, {"dock"},
        {}, after);
    ASSERT_TRUE(test_support::wait_until(
        [&] { return controller_logged("step 4 ***") || !running(); }, 60s));
    ASSERT_TRUE(controller_logged("step 4 ***")) << client_log() << loop.runner_output();
    ASSERT_TRUE(test_support::wait_until([&] { return loop.end().v < 0.0; }, 10s))
        << "not approaching";
    const auto canceled = std::chrono::steady_clock::now();
    ASSERT_EQ(kill(loop.pid("docking_client"), SIGINT), 0);
    EXPECT_TRUE(test_support::wait_until([&] { return at_rest(loop.end()); }, 2s))
        << "still moving 2 s after the cancel";
    const auto rest = std::chrono::steady_clock::now() - canceled;
    const size_t before = loop.rows().size();
    // The client has ended once the runner starts what comes after it.
    ASSERT_TRUE(test_support::wait_until([&] { return loop.pid("paused") > 0; }, 10s))
        << client_log();
    const std::string out = client_log();
    EXPECT_TRUE(has(out, "interrupted: canceling the goal")) << out;
    EXPECT_TRUE(has(out, "canceled; 1 attempt")) << out;
    EXPECT_TRUE(has(server_log(), "goal canceled, error code 6")) << server_log();
    EXPECT_TRUE(controller_logged("Align request callback: 0, 0, 0"));
    ASSERT_TRUE(test_support::wait_until([&] { return loop.pid("again") > 0; }, 10s));
    // At rest and paused, nothing commanded the robot until the next goal.
    const auto rows = loop.rows();
    for (size_t i = before; i < rows.size(); ++i) {
      EXPECT_TRUE(rows[i].cmd_v == 0.0 && rows[i].cmd_w == 0.0)
          << "a command after the cancel at " << rows[i].t;
    }
    // In the simulator's time: from the zero command to the wheels at rest.
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

    EXPECT_EQ(finish(), 2) << "the canceled client's status";
    const std::string again = loop.log("again");
    for (const auto& line : lines_with(again, "docked")) {
      std::cout << "the goal after the cancel: " << line << "\n";
    }
    if (loop.exit_status("again").value_or(-1) == 0) {
      EXPECT_TRUE(has(again, "attempt 1 of 3, docking")) << again;
      expect_docked(loop.end());
      return;
    }
    std::cout << "the goal after the cancel on domain " << domain << " did not dock:\n" << again;
    failures += again;
  }
  ADD_FAILURE() << "no docking after the cancel in two runs:\n" << failures;
}

// A camera frozen from the start: the watchdog's check ends the attempt, and
// the search turn sees no change either; no base watchdog to help.
TEST_F(DockingAction, FrozenCameraEndsPerceptionFrozenWithTheRobotAtRest) {
  start_action(118, {"freeze_after:=0.0", "cmd_timeout:=0.0"}, {"dock"});
  EXPECT_EQ(finish(), 1) << client_log() << server_log();
  EXPECT_TRUE(has(client_log(), "not docked: PERCEPTION_FROZEN (2)")) << client_log();
  // The runner keeps the simulator a second after the result.
  EXPECT_TRUE(at_rest(loop_->end()));
  // Its start allowance and the camera's stillness bound it.
  EXPECT_LT(forward_time(loop_->rows()), 2.5) << "the back-off went on too long";
}

TEST_F(DockingAction, NoControllerEndsControllerUnavailableWithinItsTimeout) {
  auto& loop = start_action(119, {}, {"dock"}, {"controller_timeout:=3.0"},
                            {"--without", "align_controller"});
  ASSERT_TRUE(test_support::wait_until(
      [&] { return has(client_log(), "not docked: ") || !running(); }, 20s));
  const auto took = std::chrono::system_clock::now() -
                    loop.started("docking_client").value_or(std::chrono::system_clock::now());
  EXPECT_EQ(finish(), 1) << client_log();
  const std::string out = client_log();
  EXPECT_TRUE(has(out, "not docked: CONTROLLER_UNAVAILABLE (5)")) << out;
  EXPECT_TRUE(has(out, "0 attempts")) << out;
  EXPECT_GE(took, 3s);
  EXPECT_LT(took, 10s);
  EXPECT_EQ(loop.end().cmd_v, 0.0);
  EXPECT_EQ(forward_time(loop.rows()), 0.0);
}

// A camera that hides the station for 0.5 s mid-approach, its pose exact (a
// robot at rest repeats it): the server's watchdog lets the attempt run on.
TEST_F(DockingAction, AShortSilenceDoesNotEndTheAttempt) {
  constexpr double kSilentAt = 15.5, kSilentFor = 0.5;
  auto params = kNoiselessCamera;
  params.insert(params.end(), {"silent_after:=15.5", "silent_for:=0.5"});
  start_action(104, params, {"dock", "--max-attempts", "1"}, {"perception_timeout:=1.0"});
  const int status = finish();
  const std::string out = client_log() + server_log();
  EXPECT_FALSE(has(out, "camera pose unchanged")) << out;
  EXPECT_FALSE(has(out, "perception lost")) << out;
  EXPECT_FALSE(controller_logged("Align request callback: 1, 2, 0"));
  // The node drove through the silence: the test saw what it claims.
  double driven = 0.0;
  const auto rows = loop_->rows();
  for (size_t i = 1; i < rows.size(); ++i) {
    if (rows[i].t > kSilentAt && rows[i].t < kSilentAt + kSilentFor) {
      driven += std::hypot(rows[i].x - rows[i - 1].x, rows[i].y - rows[i - 1].y) +
                std::abs(rows[i].heading - rows[i - 1].heading);
    }
  }
  EXPECT_GT(driven, 0.02) << "the robot stood still while the camera was silent";
  // Docked, or failed by the controller's own bounds: never ended by the supervisor.
  if (status == 0) {
    expect_docked(loop_->end());
  } else {
    EXPECT_TRUE(has(out, "docking failed: result (1, 1, 0)")) << out;
  }
}

}  // namespace
