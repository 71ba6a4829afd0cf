// The runs robot software asks of the supervisor: waiting for the controller,
// cancel, undock, progress and the reason of every end.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "align_request/retry_supervisor.hpp"

namespace align_request {
namespace {

struct Output {
  double t;
  enum Kind { kRequest, kVelocity, kLine } kind;
  int enable = 0, action = 0;
  double v = 0.0, w = 0.0;
  std::string line;
};

// The robot in front of its station with a 10 Hz camera, odometry and a
// controller that answers when told to; the supervisor is ticked at 20 Hz.
class Bench : public SupervisorOutputs {
 public:
  explicit Bench(Options o = {}) : options_(o), sup(options_, *this) {}

  void request(int enable, int action, int) override {
    out.push_back({t, Output::kRequest, enable, action, 0.0, 0.0, {}});
  }
  void velocity(double v, double w) override {
    v_ = v;
    w_ = w;
    out.push_back({t, Output::kVelocity, 0, 0, v, w, {}});
  }
  void line(const std::string& text) override {
    out.push_back({t, Output::kLine, 0, 0, 0, 0, text});
  }

  // Runs for up to seconds or until the run ends or until() holds; each step
  // moves the robot, delivers the camera and odometry, ticks and calls each().
  void run(double seconds, const std::function<bool()>& until = {},
           const std::function<void()>& each = {}) {
    const double end = t + seconds;
    while (t < end - 1e-9 && !sup.finished()) {
      t += 0.05;
      const double step = v_ * 0.05;
      distance += step * std::cos(heading);
      lateral += step * std::sin(heading);
      heading += w_ * 0.05;
      odometer += std::abs(step) * odometry_scale;
      if (camera && ++frames % 2 == 0) {
        const double c = std::cos(heading), s = std::sin(heading);
        sup.camera(t, -distance * c - lateral * s, distance * s - lateral * c, -heading);
      }
      sup.odometry(t, odometer, 0.0, heading);
      sup.tick(t);
      if (each) each();
      if (until && until()) return;
    }
  }
  // A server run of dock() with the controller discovered.
  void dock(int attempts = 3) {
    sup.controller(true);
    sup.dock(t, {attempts, 1.5, 5.0});
  }
  // Runs the attempt for seconds, then the controller answers (1, 1, success).
  void attempt(double seconds, int success) {
    run(seconds);
    sup.result(t, 1, 1, success);
  }
  void run_until_state(RunState state, double seconds = 30.0) {
    run(seconds, [&] { return sup.progress(t).state == state; });
  }

  // What went out from the index-th output on.
  std::vector<Output> sent(Output::Kind kind, size_t from = 0) const {
    std::vector<Output> r;
    for (size_t i = from; i < out.size(); ++i) {
      if (out[i].kind == kind) r.push_back(out[i]);
    }
    return r;
  }
  const Output* last(Output::Kind kind) const {
    for (auto it = out.rbegin(); it != out.rend(); ++it) {
      if (it->kind == kind) return &*it;
    }
    return nullptr;
  }
  int requests(int enable, int action) const {
    int n = 0;
    for (const Output& o : out)
      n += o.kind == Output::kRequest && o.enable == enable && o.action == action;
    return n;
  }
  bool said(const std::string& text) const {
    for (const Output& o : out) {
      if (o.kind == Output::kLine && o.line.find(text) != std::string::npos) return true;
    }
    return false;
  }
  // Every command finite and within the back-off's speed and turn rate, or
  // the search's on the spot.
  void expect_commands_bounded() const {
    for (const Output& o : sent(Output::kVelocity)) {
      EXPECT_TRUE(std::isfinite(o.v) && std::isfinite(o.w)) << o.t;
      EXPECT_GE(o.v, 0.0) << o.t;
      EXPECT_LE(o.v, options_.backoff_speed) << o.t;
      EXPECT_LE(std::abs(o.w), o.v == 0.0 ? SearchTurn::kMaxRate : RetrySupervisor::kMaxTurnRate)
          << o.t;
    }
  }
  // An attempt whose camera goes silent, refused by the controller once the check is asked.
  void lose_the_station() {
    run(0.5);
    camera = false;
    run(3.0, [&] { return requests(1, 2) > 0; });
    run(0.3);
    sup.result(t, 1, 1, 0);
  }

  Options options_;
  RetrySupervisor sup;
  std::vector<Output> out;
  double t = 0.0;
  // The robot in the station's frame, 0 heading facing away from it.
  double distance = 0.24, lateral = -0.012, heading = 0.0;
  double odometer = 0.0, odometry_scale = 1.0;
  bool camera = true;
  int frames = 0;

 private:
  double v_ = 0.0, w_ = 0.0;
};

// Where a cancel can come, and what must go on /align_request with the stop.
struct CancelCase {
  const char* phase;
  std::function<void(Bench&)> reach;
  bool pauses;  // an attempt or a retry check stands: (0, 0, 0)
  RunState state;
};

TEST(SupervisorRuns, CancelStopsTheRobotInEveryPhaseAndALaterRunStartsCleanly) {
  const CancelCase cases[] = {
      {"waiting for the controller",
       [](Bench& b) {
         b.sup.dock(b.t, {3, 1.5, 5.0});
         b.run(1.0);
       },
       false, RunState::kDocking},
      {"attempt",
       [](Bench& b) {
         b.dock();
         b.run(3.0);
       },
       true, RunState::kDocking},
      {"backing off",
       [](Bench& b) {
         b.dock();
         b.attempt(2.0, 0);
         b.run(0.1);
       },
       false, RunState::kBackingOff},
      {"retry check",
       [](Bench& b) {
         b.dock();
         b.attempt(2.0, 0);
         b.run_until_state(RunState::kRetryCheck);
         b.run(0.5);
       },
       true, RunState::kRetryCheck},
      {"staging",
       [](Bench& b) {
         b.dock();
         b.attempt(2.0, 0);
         b.run_until_state(RunState::kStaging);
         b.run(0.5);
       },
       false, RunState::kStaging},
      {"undocking",
       [](Bench& b) {
         b.run(0.2);
         b.sup.undock(b.t, 1.5);
         b.run(2.0);
       },
       false, RunState::kUndocking},
      {"the watchdog's check during an attempt",
       [](Bench& b) {
         b.dock();
         b.run(1.0);
         b.camera = false;
         b.run(1.5);
         b.camera = true;  // the robot at rest: the same pose as before, the check stands
       },
       true, RunState::kDocking},
      {"searching",
       [](Bench& b) {
         b.dock();
         b.lose_the_station();
         b.run(0.5);
       },
       false, RunState::kSearching},
  };
  for (const CancelCase& c : cases) {
    SCOPED_TRACE(c.phase);
    Bench b;
    c.reach(b);
    ASSERT_FALSE(b.sup.finished());
    ASSERT_EQ(b.sup.progress(b.t).state, c.state);
    const double at = b.t;
    const size_t before = b.out.size();
    b.sup.cancel(at);
    b.camera = true;  // for the next run; the search ended with the cancel
    // At once: the zero, and the pause or the withdrawn check.
    ASSERT_GT(b.out.size(), before);
    const auto zeros = b.sent(Output::kVelocity, before);
    ASSERT_FALSE(zeros.empty());
    EXPECT_EQ(zeros.front().t, at);
    EXPECT_EQ(b.requests(0, 0), (c.pauses ? 1 : 0) + (c.state == RunState::kStaging ? 1 : 0));
    if (c.pauses) {
      EXPECT_EQ(b.last(Output::kRequest)->t, at);
    }
    // A late answer of the paused node changes nothing.
    b.sup.result(b.t, 1, 1, 1);
    EXPECT_EQ(b.sup.progress(b.t).state, c.state);
    b.run(1.0);
    ASSERT_TRUE(b.sup.finished());
    EXPECT_EQ(b.sup.end_reason(), EndReason::kCanceled);
    EXPECT_GE(b.t - at, RetrySupervisor::kStopHold);
    EXPECT_LE(b.t - at, RetrySupervisor::kStopHold + 0.1);
    // Only zeros from the cancel on, at 10 Hz while the stop holds.
    const auto after = b.sent(Output::kVelocity, before);
    EXPECT_GE(after.size(), 4u);
    for (size_t i = 0; i < after.size(); ++i) {
      EXPECT_EQ(after[i].v, 0.0);
      EXPECT_EQ(after[i].w, 0.0);
      if (i > 0) {
        EXPECT_LE(after[i].t - after[i - 1].t, 0.1 + 1e-9);
      }
    }
    EXPECT_NE(b.sup.end_text().find("cancel"), std::string::npos) << b.sup.end_text();

    // The next run: no attempt, check or state of the canceled one.
    const size_t again = b.out.size();
    b.distance = 0.24;
    b.dock();
    EXPECT_EQ(b.sup.progress(b.t).state, RunState::kDocking);
    EXPECT_EQ(b.sup.progress(b.t).attempt, 1);
    EXPECT_TRUE(b.sup.attempts().empty());
    b.attempt(4.0, 1);
    EXPECT_EQ(b.sup.end_reason(), EndReason::kNone);
    ASSERT_EQ(b.sup.attempts().size(), 1u);
    // Only the stop at its end.
    const auto sent = b.sent(Output::kVelocity, again);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].v, 0.0);
    b.expect_commands_bounded();
  }
}

// A goal with stage_first from a poor start: the staging reported as STAGING before any
// attempt; a cancel in it stops the robot and pauses nothing (no attempt runs); a goal
// let run stages, docks and stops the robot at its end.
TEST(SupervisorRuns, StagingBeforeTheFirstAttemptIsCanceledOrRunsToTheDocking) {
  Options o;
  o.stage_first = true;
  for (bool cancel : {true, false}) {
    SCOPED_TRACE(cancel ? "canceled" : "docked");
    Bench b(o);
    b.distance = 0.7;
    b.lateral = 0.25;
    b.run(0.2);
    b.dock();
    b.run(1.0);
    ASSERT_EQ(b.sup.progress(b.t).state, RunState::kStaging);
    EXPECT_EQ(b.sup.progress(b.t).attempt, 0);
    EXPECT_EQ(b.requests(1, 0), 0);
    ASSERT_GT(b.last(Output::kVelocity)->v, 0.0);
    if (cancel) {
      const double at = b.t;
      const size_t before = b.out.size();
      b.sup.cancel(at);
      ASSERT_EQ(b.sent(Output::kVelocity, before).front().t, at);
      b.run(1.0);
      ASSERT_TRUE(b.sup.finished());
      EXPECT_EQ(b.sup.end_reason(), EndReason::kCanceled);
      EXPECT_EQ(b.requests(0, 0), 0) << "nothing to pause";
      EXPECT_EQ(b.requests(1, 0), 0);
      for (const Output& v : b.sent(Output::kVelocity, before)) EXPECT_EQ(v.v, 0.0);
      EXPECT_TRUE(b.said("canceled while staging: robot stopped"));
      continue;
    }
    b.run(40.0, [&] { return b.requests(1, 0) > 0; });
    ASSERT_EQ(b.requests(1, 0), 1);
    EXPECT_GT(std::hypot(b.distance, b.lateral), 1.5);
    EXPECT_EQ(b.sup.progress(b.t).state, RunState::kDocking);
    EXPECT_EQ(b.sup.progress(b.t).attempt, 1);
    b.attempt(3.0, 1);
    ASSERT_TRUE(b.sup.finished());
    EXPECT_EQ(b.sup.end_reason(), EndReason::kNone);
    EXPECT_EQ(b.last(Output::kVelocity)->v, 0.0);
    b.expect_commands_bounded();
  }
}

TEST(SupervisorRuns, EveryEndHasItsReasonAndStopsTheRobot) {
  struct Case {
    const char* name;
    std::function<void(Bench&)> script;
    EndReason reason;
  };
  const Case cases[] = {
      {"docked at once", [](Bench& b) { b.attempt(3.0, 1); }, EndReason::kNone},
      {"docked at the second attempt",
       [](Bench& b) {
         b.attempt(3.0, 0);
         b.run(60.0, [&] { return b.sup.progress(b.t).attempt == 2; });
         b.attempt(3.0, 1);
       },
       EndReason::kNone},
      {"every attempt failed",
       [](Bench& b) {
         for (int i = 0; i < 3 && !b.sup.finished(); ++i) {
           b.distance = 0.24;
           b.attempt(2.0, 0);
           b.run(60.0, [&] { return !b.sup.backing_off(); });
         }
       },
       EndReason::kDockFailed},
      {"unexpected result", [](Bench& b) { b.sup.result(b.t, 0, 1, 1); }, EndReason::kDockFailed},
      {"retry refused",
       [](Bench& b) {
         b.attempt(2.0, 0);
         b.run_until_state(RunState::kRetryCheck);
         b.sup.result(b.t, 1, 1, 0);
       },
       EndReason::kPerceptionFrozen},
      {"camera frozen while backing off",
       [](Bench& b) {
         b.attempt(2.0, 0);
         b.camera = false;
         b.run(10.0);
       },
       EndReason::kPerceptionFrozen},
      {"odometry beyond the staging distance",
       [](Bench& b) {
         b.attempt(2.0, 0);
         b.odometry_scale = 3.0;
         b.run(30.0);
       },
       EndReason::kBackoffStopped},
      {"back-off too slow",
       [](Bench& b) {
         b.attempt(2.0, 0);
         b.run(60.0, {}, [&] { b.distance -= 0.003; });  // a wheel slips on the floor
       },
       EndReason::kBackoffStopped},
      {"retry refused: the station never in view",
       [](Bench& b) {
         b.camera = false;
         b.attempt(2.0, 0);
       },
       EndReason::kStationNotInView},
      {"retry refused during an attempt, the station not found again",
       [](Bench& b) {
         b.lose_the_station();
         b.run(20.0);
       },
       EndReason::kStationNotInView},
      {"no result", [](Bench& b) { b.run(100.0); }, EndReason::kNoResult},
      {"canceled", [](Bench& b) { b.sup.cancel(b.t); }, EndReason::kCanceled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b;
    b.dock();
    c.script(b);
    b.run(1.0);
    ASSERT_TRUE(b.sup.finished()) << b.last(Output::kLine)->line;
    EXPECT_EQ(b.sup.end_reason(), c.reason) << b.sup.end_text();
    EXPECT_FALSE(b.sup.end_text().empty());
    ASSERT_NE(b.last(Output::kVelocity), nullptr);
    EXPECT_EQ(b.last(Output::kVelocity)->v, 0.0);
    EXPECT_EQ(b.last(Output::kVelocity)->w, 0.0);
    // Nothing left running in the node: an attempt without its result is
    // paused, a retry check is answered or withdrawn.
    const Output* r = b.last(Output::kRequest);
    ASSERT_NE(r, nullptr);
    if (c.reason == EndReason::kNoResult || c.reason == EndReason::kCanceled) {
      EXPECT_EQ(r->enable, 0);
    }
    if (r->action == 2) {
      EXPECT_EQ(std::string(c.name).rfind("retry refused", 0), 0u) << "a retry check left standing";
    }
    b.expect_commands_bounded();
  }
}

TEST(SupervisorRuns, NoResultPausesTheAttemptBeforeStopping) {
  Bench b;
  b.dock(1);
  b.run(89.0);
  EXPECT_EQ(b.requests(0, 0), 0);
  const size_t before = b.out.size();
  b.run(5.0);
  ASSERT_TRUE(b.sup.finished());
  EXPECT_EQ(b.sup.end_reason(), EndReason::kNoResult);
  EXPECT_EQ(b.requests(0, 0), 1);
  const double paused = b.last(Output::kRequest)->t;
  EXPECT_EQ(b.sent(Output::kVelocity, before).front().t, paused);
  EXPECT_NE(b.sup.end_text().find("no result within 90 s"), std::string::npos);

  // The command line's run leaves an attempt that may still run alone.
  Bench cli;
  cli.sup.start(cli.t);
  cli.run(95.0);
  EXPECT_EQ(cli.sup.end_reason(), EndReason::kNoResult);
  EXPECT_EQ(cli.last(Output::kVelocity), nullptr);
  EXPECT_EQ(cli.requests(0, 0), 0);
}

TEST(SupervisorRuns, WaitsForTheControllerWithinItsTimeout) {
  {
    Bench b;
    b.sup.dock(b.t, {3, 1.5, 5.0});
    b.run(2.0);
    EXPECT_EQ(b.requests(1, 0), 0) << "a request nobody reads is lost";
    EXPECT_EQ(b.sup.progress(b.t).attempt, 0);
    b.sup.controller(true);
    b.run(0.05);
    EXPECT_EQ(b.requests(1, 0), 1);
    EXPECT_EQ(b.sup.progress(b.t).attempt, 1);
  }
  {
    Bench b;
    b.sup.dock(b.t, {3, 1.5, 5.0});
    b.run(4.9);
    EXPECT_FALSE(b.sup.finished());
    b.run(0.2);
    ASSERT_TRUE(b.sup.finished());
    EXPECT_EQ(b.sup.end_reason(), EndReason::kControllerUnavailable);
    EXPECT_EQ(b.requests(1, 0), 0);
    EXPECT_TRUE(b.said("no align_controller discovered within 5 s"));
    EXPECT_EQ(b.last(Output::kVelocity)->v, 0.0);
    EXPECT_TRUE(b.sup.attempts().empty());
  }
}

// The states and the pose a run reports, in the order they come.
TEST(SupervisorRuns, ProgressFollowsTheRun) {
  Bench b;
  b.run(0.2);
  b.sup.dock(b.t, {3, 1.5, 5.0});
  std::vector<std::pair<RunState, int>> seen;
  auto record = [&] {
    const Progress p = b.sup.progress(b.t);
    if (seen.empty() || seen.back() != std::make_pair(p.state, p.attempt)) {
      seen.emplace_back(p.state, p.attempt);
    }
    EXPECT_EQ(p.max_attempts, 3);
  };
  record();
  b.run(0.5, {}, record);
  b.sup.controller(true);
  b.run(2.0, {}, record);
  b.camera = false;
  b.run(0.6);
  EXPECT_FALSE(b.sup.progress(b.t).pose) << "a stale pose reported as the robot's";
  b.camera = true;
  b.run(0.2);
  const Progress at_station = b.sup.progress(b.t);
  ASSERT_TRUE(at_station.pose);
  EXPECT_NEAR(at_station.pose->distance, 0.2403, 1e-3);
  EXPECT_NEAR(at_station.pose->lateral, -0.012, 1e-6);
  EXPECT_NEAR(at_station.pose->heading, 0.0, 1e-9);
  b.sup.result(b.t, 1, 1, 0);
  record();
  b.run(
      60.0, [&] { return !b.sup.backing_off(); }, record);
  b.attempt(2.0, 1);
  record();
  const std::vector<std::pair<RunState, int>> expected = {
      {RunState::kDocking, 0},    {RunState::kDocking, 1}, {RunState::kBackingOff, 1},
      {RunState::kRetryCheck, 1}, {RunState::kStaging, 1}, {RunState::kDocking, 2}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(b.sup.end_reason(), EndReason::kNone);
}

TEST(SupervisorRuns, UndockDrivesOutToTheStagingDistanceWithinTheBackoffsBounds) {
  {
    Bench b;
    b.heading = 0.1;
    b.run(0.2);
    b.sup.undock(b.t, 1.5);
    std::vector<RunState> states;
    b.run(40.0, {}, [&] { states.push_back(b.sup.progress(b.t).state); });
    ASSERT_TRUE(b.sup.finished());
    EXPECT_EQ(b.sup.end_reason(), EndReason::kNone) << b.sup.end_text();
    EXPECT_GT(b.distance, 1.49);
    EXPECT_LT(b.distance, 1.56);
    EXPECT_LT(std::abs(b.lateral), 0.02);
    EXPECT_EQ(b.last(Output::kVelocity)->v, 0.0);
    EXPECT_EQ(b.last(Output::kRequest), nullptr) << "an undock asks nothing of the controller";
    for (RunState s : states) EXPECT_EQ(s, RunState::kUndocking);
    b.expect_commands_bounded();
  }
  struct Case {
    const char* name;
    std::function<void(Bench&)> fault;
    EndReason reason;
    const char* said;
  };
  const Case cases[] = {
      {"camera frozen", [](Bench& b) { b.camera = b.t < 2.0; }, EndReason::kPerceptionFrozen,
       "undock stopped: the camera pose has not changed"},
      {"odometry beyond the distance", [](Bench& b) { b.odometry_scale = 3.0; },
       EndReason::kBackoffStopped, "undock stopped: odometry shows"},
      {"too slow",
       [](Bench& b) {
         b.distance -= 0.003;
         b.odometry_scale = 0.4;
       },
       EndReason::kBackoffStopped, "m from the station after"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b;
    b.run(0.2);
    b.sup.undock(b.t, 1.5);
    b.run(60.0, {}, [&] { c.fault(b); });
    ASSERT_TRUE(b.sup.finished());
    EXPECT_EQ(b.sup.end_reason(), c.reason);
    EXPECT_TRUE(b.said(c.said)) << b.sup.end_text();
    EXPECT_EQ(b.last(Output::kVelocity)->v, 0.0);
    EXPECT_LT(b.distance, 1.5);
  }
  {
    Bench b;  // no camera pose: nothing to steer by
    b.camera = false;
    b.run(1.0);
    b.sup.undock(b.t, 1.5);
    ASSERT_TRUE(b.sup.finished());
    EXPECT_EQ(b.sup.end_reason(), EndReason::kBackoffStopped);
    EXPECT_TRUE(b.said("cannot undock: no camera pose"));
    ASSERT_EQ(b.sent(Output::kVelocity).size(), 1u);
    EXPECT_EQ(b.last(Output::kVelocity)->v, 0.0);
  }
  {
    Bench b;  // already out there
    b.distance = 1.7;
    b.run(0.2);
    b.sup.undock(b.t, 1.5);
    ASSERT_TRUE(b.sup.finished());
    EXPECT_EQ(b.sup.end_reason(), EndReason::kNone);
    ASSERT_EQ(b.sent(Output::kVelocity).size(), 1u);
    EXPECT_EQ(b.last(Output::kVelocity)->v, 0.0);
  }
}

}  // namespace
}  // namespace align_request
