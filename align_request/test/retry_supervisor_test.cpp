#include "align_request/retry_supervisor.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace align_request {
namespace {

// What the supervisor sent, stamped with the scripted clock.
struct Sent {
  double t;
  char kind;  // 'r' request, 'v' velocity, 'l' line
  int action = 0, enable = 0;
  double v = 0.0;
  std::string line;
};

// A robot in front of the station, facing away from it, with a camera at
// 10 Hz and odometry; the supervisor is ticked at 20 Hz.
class World : public SupervisorOutputs {
 public:
  explicit World(Options o = {}) : options(o), sup(options, *this) {}

  void request(int enable, int action, int) override {
    sent.push_back({t, 'r', action, enable, 0.0, {}});
    node_active = enable == 1 && action == 0;  // any other request pauses the node
  }
  void velocity(double v, double w) override {
    commanded = v;
    turn = w;
    sent.push_back({t, 'v', 0, 0, v, {}});
  }
  void line(const std::string& text) override { sent.push_back({t, 'l', 0, 0, 0.0, text}); }

  // Runs the world for up to seconds, calling react after each tick; stops
  // early when the supervisor has finished or done says so.
  void run(double seconds, const std::function<void()>& react = {},
           const std::function<bool()>& done = {}) {
    for (int i = 0; i < std::lround(seconds / 0.05) && !sup.finished(); ++i) {
      t += 0.05;
      // The node drives while its attempt runs, when a test gives it a speed.
      const bool node = node_active && (node_v != 0.0 || node_w != 0.0);
      const double step = (node ? node_v : commanded) * speed_factor * 0.05;
      distance += step * std::cos(heading);
      lateral += step * std::sin(heading);
      heading += (node ? node_w : turn) * 0.05;
      travelled += std::abs(step);
      if (camera_on && ++frames % 2 == 0) {
        // The station in the robot's frame; a stalled camera repeats its last pose.
        const double c = std::cos(heading), s = std::sin(heading);
        if (!camera_stalled) {
          pose = {-distance * c - lateral * s, distance * s - lateral * c, -heading};
        }
        sup.camera(t, pose[0], pose[1], pose[2]);
      }
      sup.odometry(t, travelled, 0.0, heading);
      sup.tick(t);
      if (react) react();
      if (done && done()) return;
    }
  }
  // The node's answer, which ends its attempt.
  void answer(int enable, int action, int success) {
    node_active = false;
    sup.result(t, enable, action, success);
  }
  void run_while_backing_off() {
    run(100.0, {}, [this] { return !sup.backing_off(); });
  }

  // The first request (enable, action, 0) sent at or after from.
  const Sent* find_request(int enable, int action, double from = 0.0) const {
    for (const Sent& s : sent) {
      if (s.kind == 'r' && s.enable == enable && s.action == action && s.t >= from) return &s;
    }
    return nullptr;
  }
  int count_requests(int action) const {
    int n = 0;
    for (const Sent& s : sent) n += s.kind == 'r' && s.action == action && s.enable == 1;
    return n;
  }
  bool said(const std::string& text) const {
    for (const Sent& s : sent) {
      if (s.kind == 'l' && s.line.find(text) != std::string::npos) return true;
    }
    return false;
  }
  const Sent* last(char kind) const {
    for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
      if (it->kind == kind) return &*it;
    }
    return nullptr;
  }

  // Every end of a back-off: the robot stopped, no retry check left standing.
  void expect_stopped_and_withdrawn() const {
    ASSERT_NE(last('v'), nullptr);
    EXPECT_EQ(last('v')->v, 0.0);
    const Sent* check = nullptr;
    for (const Sent& s : sent) {
      if (s.kind == 'r') check = s.action == 2 ? &s : nullptr;
    }
    EXPECT_EQ(check, nullptr) << "a retry check is left standing";
  }

  Options options;
  RetrySupervisor sup;
  std::vector<Sent> sent;
  double t = 0.0;
  // The robot in the station's frame.
  double distance = 0.24;  // m out along the axis
  double lateral = -0.012;
  double heading = 0.0;  // 0: facing away
  double travelled = 0.0;
  double commanded = 0.0;
  double turn = 0.0;
  double speed_factor = 1.0;
  bool camera_on = true;
  bool camera_stalled = false;
  std::array<double, 3> pose{};
  int frames = 0;
  // The node's attempt: running until paused or answered, and its commands.
  bool node_active = false;
  double node_v = 0.0, node_w = 0.0;
};

TEST(RetrySupervisor, DocksAtTheFirstAttemptWithoutMovingTheRobot) {
  World w;
  w.run(0.2);
  w.sup.start(w.t);
  w.run(5.0);
  w.sup.result(w.t, 1, 1, 1);
  EXPECT_TRUE(w.sup.finished());
  EXPECT_EQ(w.sup.exit_status(), kExitDocked);
  EXPECT_EQ(w.count_requests(0), 1);
  EXPECT_EQ(w.last('v'), nullptr);
  EXPECT_TRUE(w.said("docked: result (1, 1, 1) after 5.0 s"));
  EXPECT_EQ(w.last('l')->line,
            "docked at attempt 1 of 3, 5.0 s after the first request: 1 docked after 5.0 s "
            "at 0.24 m, 1.2 cm off the axis");
}

// A failed attempt: the back-off to the staging distance with the retry check
// asked and withdrawn while the robot moves, then the next attempt docks.
TEST(RetrySupervisor, BacksOffChecksPerceptionAndTriesAgain) {
  World w;
  w.run(0.2);
  w.sup.start(w.t);
  w.run(40.0);
  const double failed_at = w.t;
  w.sup.result(w.t, 1, 1, 0);
  ASSERT_TRUE(w.sup.backing_off());
  double moving_since = -1.0;
  w.run(
      40.0, [&] { moving_since = moving_since < 0.0 && w.commanded > 0.0 ? w.t : moving_since; },
      [&] { return !w.sup.backing_off(); });
  const Sent* retry = w.find_request(1, 0, failed_at);
  ASSERT_NE(retry, nullptr) << "no second attempt";
  EXPECT_GT(w.distance, 1.49);
  EXPECT_LT(w.distance, 1.56);
  EXPECT_TRUE(w.said("attempt 2 of 3, from 1.5"));

  const Sent* check = w.find_request(1, 2);
  const Sent* cancel = w.find_request(0, 0);
  ASSERT_NE(check, nullptr);
  ASSERT_NE(cancel, nullptr);
  // Asked once moving, held long enough for the node to refuse a frozen pose,
  // withdrawn before the robot comes to rest.
  EXPECT_GE(check->t, moving_since + 0.1);
  EXPECT_GE(cancel->t - check->t, RetrySupervisor::kCheckWindow);
  const Sent* zero = w.last('v');
  ASSERT_EQ(zero->v, 0.0);
  EXPECT_GE(zero->t - cancel->t, RetrySupervisor::kCancelMargin);
  EXPECT_LE(zero->t, retry->t);

  // Commands at 10 Hz, each the back-off speed, until the zero.
  double previous = failed_at;
  for (const Sent& s : w.sent) {
    if (s.kind != 'v' || s.t < failed_at) continue;
    EXPECT_LE(s.t - previous, 0.1 + 1e-6);
    EXPECT_TRUE(s.v == 0.1 || (&s == zero)) << s.v;
    previous = s.t;
  }
  const size_t before_second = w.sent.size();
  w.distance = 0.22;  // the robot docks meanwhile
  w.run(30.0);
  w.sup.result(w.t, 1, 1, 1);
  for (size_t i = before_second; i < w.sent.size(); ++i) {
    EXPECT_NE(w.sent[i].kind, 'v') << "a command during the node's attempt";
  }
  EXPECT_EQ(w.sup.exit_status(), kExitDocked);
  ASSERT_EQ(w.sup.attempts().size(), 2u);
  const std::string summary = w.last('l')->line;
  EXPECT_EQ(summary.rfind("docked at attempt 2 of 3, ", 0), 0u) << summary;
  EXPECT_NE(summary.find("1 failed after 40.0 s at 0.24 m, 1.2 cm off the axis; 2 docked after "
                         "30.0 s at 0.22 m"),
            std::string::npos)
      << summary;
}

// Backing off straight along the heading a failed attempt left would carry
// the robot far off the axis; the back-off steers it onto the axis instead.
TEST(RetrySupervisor, BackoffEndsOnTheAxis) {
  for (const double heading : {-0.2, 0.0, 0.2}) {
    for (const double lateral : {-0.05, 0.03}) {
      World w;
      w.heading = heading;
      w.lateral = lateral;
      w.sup.start(w.t);
      w.run(1.0);
      w.sup.result(w.t, 1, 1, 0);
      double largest_turn = 0.0;
      w.run(
          40.0, [&] { largest_turn = std::max(largest_turn, std::abs(w.turn)); },
          [&] { return !w.sup.backing_off(); });
      ASSERT_NE(w.find_request(1, 0, 1.5), nullptr) << w.last('l')->line;
      EXPECT_LT(std::abs(w.lateral), 0.01) << heading << " " << lateral;
      EXPECT_LT(std::abs(w.heading), 0.03) << heading << " " << lateral;
      EXPECT_LE(largest_turn, RetrySupervisor::kMaxTurnRate);
      EXPECT_EQ(w.turn, 0.0);
    }
  }
}

TEST(RetrySupervisor, ARefusedRetryCheckStopsTheRobotAndGivesUp) {
  World w;
  w.sup.start(w.t);
  w.run(1.0);
  w.sup.result(w.t, 1, 1, 0);
  w.run(10.0, [&] {
    const Sent* check = w.find_request(1, 2);
    if (check && w.t - check->t > 0.5 && !w.sup.finished()) {
      w.sup.result(w.t, 1, 1, 0);
    }
  });
  EXPECT_TRUE(w.sup.finished());
  EXPECT_EQ(w.sup.exit_status(), kExitFailed);
  EXPECT_TRUE(w.said("retry refused: perception is not updating (error code 101100013)"));
  EXPECT_EQ(w.count_requests(0), 1);
  EXPECT_EQ(w.last('v')->v, 0.0);
  EXPECT_EQ(w.last('l')->line.rfind("not docked: retry refused after attempt 1", 0), 0u);
}

// Each bound of the back-off ends it with the robot stopped, whatever the
// state of the retry check.
TEST(RetrySupervisor, BackoffBounds) {
  struct Case {
    const char* name;
    std::function<void(World&)> fault;
    const char* said;
  };
  const Case cases[] = {
      {"camera lost at once", [](World& w) { w.camera_on = false; },
       "the camera pose has not changed for"},
      {"camera lost during the check",
       [](World& w) {
         if (w.find_request(1, 2)) w.camera_on = false;
       },
       "the camera pose has not changed for"},
      // The camera sees the robot standing while odometry says it drives.
      {"odometry beyond the staging distance",
       [](World& w) {
         w.distance = 0.24;
         w.lateral = -0.012 + 1e-4 * w.frames;
       },
       "odometry shows 2.0"},
      {"too slow", [](World& w) { w.speed_factor = 0.4; }, "m from the station after 25."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.sup.start(w.t);
    w.run(1.0);
    w.sup.result(w.t, 1, 1, 0);
    w.run(60.0, [&] { c.fault(w); });
    EXPECT_TRUE(w.sup.finished());
    EXPECT_EQ(w.sup.exit_status(), kExitFailed);
    EXPECT_TRUE(w.said(c.said)) << w.last('l')->line;
    EXPECT_EQ(w.count_requests(0), 1);
    w.expect_stopped_and_withdrawn();
  }
}

TEST(RetrySupervisor, GivesUpAfterTheLastAttempt) {
  for (int attempts : {1, 2, 3}) {
    Options o;
    o.attempts = attempts;
    World w(o);
    w.sup.start(w.t);
    for (int i = 0; i < 5 && !w.sup.finished(); ++i) {
      w.distance = 0.24;  // each attempt ends near the station
      w.run(2.0);
      w.sup.result(w.t, 1, 1, 0);
      w.run_while_backing_off();
    }
    EXPECT_EQ(w.sup.exit_status(), kExitFailed);
    EXPECT_EQ(w.count_requests(0), attempts) << w.last('l')->line;
    EXPECT_EQ(w.sup.attempts().size(), static_cast<size_t>(attempts));
    if (attempts == 1) {
      // Today's output: no back-off, no summary.
      EXPECT_EQ(w.last('v'), nullptr);
      EXPECT_EQ(w.last('l')->line, "docking failed: result (1, 1, 0) after 2.0 s");
    } else {
      EXPECT_EQ(w.last('l')->line.rfind("not docked after " + std::to_string(attempts), 0), 0u);
    }
  }
}

TEST(RetrySupervisor, NoResultAndInterruptions) {
  {
    World w;
    w.sup.start(w.t);
    w.run(95.0);
    EXPECT_EQ(w.sup.exit_status(), kExitNoResult);
    EXPECT_TRUE(w.said("no result within 90 s"));
    EXPECT_EQ(w.last('v'), nullptr) << "the node's attempt may still run";
    EXPECT_NE(w.last('l')->line.find("1 timed out after 90.0 s"), std::string::npos);
  }
  {
    World w;
    w.sup.start(w.t);
    w.run(3.0);
    w.sup.interrupt(w.t);
    EXPECT_EQ(w.sup.exit_status(), kExitNoResult);
    EXPECT_EQ(w.last('v'), nullptr);
  }
  for (double after : {0.1, 1.0, 5.0}) {  // before, during and after the retry check
    World w;
    w.sup.start(w.t);
    w.run(1.0);
    w.sup.result(w.t, 1, 1, 0);
    w.run(after);
    w.sup.interrupt(w.t);
    EXPECT_EQ(w.sup.exit_status(), kExitNoResult);
    EXPECT_TRUE(w.said("interrupted while backing off: robot stopped"));
    w.expect_stopped_and_withdrawn();
  }
}

// The commands from index from on: all zeros, at 10 Hz or faster.
void expect_zeros_at_10hz(const World& w, size_t from) {
  double previous = -1.0;
  for (size_t i = from; i < w.sent.size(); ++i) {
    const Sent& s = w.sent[i];
    if (s.kind != 'v') continue;
    EXPECT_EQ(s.v, 0.0) << s.t;
    if (previous >= 0.0) {
      EXPECT_LE(s.t - previous, 0.1 + 1e-9) << s.t;
    }
    previous = s.t;
  }
  EXPECT_GE(previous, 0.0) << "no zero command";
}

// The node drives backwards while the camera goes silent or stalls: the check
// and a zero go out together once the pose has not changed for the perception
// timeout; the stop holds while the check stands, and when the pose moves
// again within the second the attempt resumes at the same step.
TEST(RetrySupervisor, WatchdogStopsTheRobotAndResumesTheAttemptWhenThePoseMovesAgain) {
  for (const bool stalled : {false, true}) {
    SCOPED_TRACE(stalled ? "stalled camera" : "silent camera");
    World w;
    w.distance = 1.2;
    w.run(0.3);
    w.sup.start(w.t);
    w.node_v = -0.15;
    w.run(2.0);
    const double lost_at = w.t;
    const double from = w.distance;
    if (stalled) {
      w.camera_stalled = true;
    } else {
      w.camera_on = false;
    }
    w.run(3.0, {}, [&] { return w.find_request(1, 2) != nullptr; });
    const Sent* check = w.find_request(1, 2);
    ASSERT_NE(check, nullptr) << w.last('l')->line;
    // Later commands may move w.sent: keep the time, not the pointer.
    const double checked_at = check->t;
    EXPECT_GE(checked_at - lost_at, 0.9);  // the last pose came up to 0.1 s before
    EXPECT_LE(checked_at - lost_at, 1.0 + 0.05 + 1e-9);
    ASSERT_NE(w.last('v'), nullptr);
    EXPECT_EQ(w.last('v')->t, checked_at) << "the zero goes out with the check";
    EXPECT_EQ(w.last('v')->v, 0.0);
    EXPECT_EQ(w.turn, 0.0);
    EXPECT_LE(from - w.distance, 0.15 * 1.05 + 1e-9);
    EXPECT_TRUE(w.said("camera pose unchanged for 1.0 s during attempt 1: robot stopped"));

    const size_t held = w.sent.size();
    w.run(0.5);
    EXPECT_EQ(w.find_request(1, 0, checked_at), nullptr) << "resumed while the pose stands";
    w.camera_on = true;
    w.camera_stalled = false;
    w.run(1.0, {}, [&] { return w.find_request(1, 0, checked_at) != nullptr; });
    const Sent* resumed = w.find_request(1, 0, checked_at);
    ASSERT_NE(resumed, nullptr);
    EXPECT_NEAR(resumed->t - checked_at, RetrySupervisor::kWatchCheck, 0.05 + 1e-9);
    expect_zeros_at_10hz(w, held);
    EXPECT_TRUE(w.said("retry check not refused: perception is updating; attempt 1 resumed"));
    // The node drives on, seen by the camera: no further check, no command of ours.
    const size_t resumed_at = w.sent.size();
    w.run(3.0);
    EXPECT_EQ(w.count_requests(2), 1);
    EXPECT_LT(w.distance, from - 0.4);
    w.answer(1, 1, 1);
    for (size_t i = resumed_at; i < w.sent.size(); ++i) EXPECT_NE(w.sent[i].kind, 'v');
    EXPECT_EQ(w.sup.exit_status(), kExitDocked);
    EXPECT_EQ(w.sup.attempts().size(), 1u);
  }
}

// A perfect camera on a robot at rest repeats its pose: that is no loss; a
// silence is, once it lasts the perception timeout, and so is a camera that
// does not follow the robot once it drives.
TEST(RetrySupervisor, WatchdogTellsARobotAtRestFromALostCamera) {
  Options o;
  o.perception_timeout = 0.8;
  World w(o);
  w.run(0.3);
  w.sup.start(w.t);
  w.run(5.0);
  w.camera_on = false;
  w.run(0.6);
  w.camera_on = true;
  w.run(2.0);
  EXPECT_EQ(w.count_requests(2), 0) << w.last('l')->line;
  EXPECT_EQ(w.last('v'), nullptr);
  w.camera_stalled = true;
  w.run(2.0);
  EXPECT_EQ(w.count_requests(2), 0) << "a robot at rest, a stalled camera: nothing drives blind";
  const double drives = w.t;
  w.node_w = 0.2;
  w.run(2.0, {}, [&] { return w.find_request(1, 2) != nullptr; });
  ASSERT_NE(w.find_request(1, 2), nullptr);
  EXPECT_NEAR(w.find_request(1, 2)->t - drives, 0.8, 0.05 + 1e-9);
}

// The controller refuses the check: the attempt has lost the station. It is
// found again by turning back towards where it was last seen, then the
// back-off and the next attempt go as after any failed one.
TEST(RetrySupervisor, RefusedCheckThenTheStationIsFoundAndTheNextAttemptGoes) {
  World w;
  w.distance = 1.0;
  w.run(0.3);
  w.sup.start(w.t);
  w.node_w = 0.25;  // the node turns on the spot
  w.run(1.0);
  const double seen_heading = w.heading;
  w.camera_on = false;
  w.run(3.0, {}, [&] { return w.find_request(1, 2) != nullptr; });
  ASSERT_NE(w.find_request(1, 2), nullptr);
  w.run(0.5);
  w.answer(1, 1, 0);
  EXPECT_TRUE(w.said("perception lost during attempt 1: the station has not been seen for 1."))
      << w.last('l')->line;
  ASSERT_TRUE(w.sup.searching()) << w.last('l')->line;
  EXPECT_TRUE(w.said("station out of view: turning right up to 0.5"));
  double lowest = w.heading;
  // Seen again once the robot faces within 0.1 rad of where it was seen.
  w.run(
      10.0,
      [&] {
        lowest = std::min(lowest, w.heading);
        if (w.sup.searching()) {
          EXPECT_LE(w.turn, 0.0) << "turning away from the station";
        }
        if (w.heading < seen_heading + 0.1) w.camera_on = true;
      },
      [&] { return !w.sup.searching(); });
  EXPECT_TRUE(w.said("station in view again after turning"));
  EXPECT_GT(lowest, seen_heading - 0.05);
  ASSERT_TRUE(w.sup.backing_off()) << w.last('l')->line;
  const double backing_off_at = w.t;
  w.run_while_backing_off();
  // The node's pose history is the silence's: a check would be refused at once.
  EXPECT_EQ(w.find_request(1, 2, backing_off_at), nullptr);
  EXPECT_TRUE(w.said("no retry check: perception lost before"));
  ASSERT_NE(w.find_request(1, 0, 2.0), nullptr) << w.last('l')->line;
  EXPECT_TRUE(w.said("attempt 2 of 3, from 1.5"));
  w.answer(1, 1, 1);
  EXPECT_EQ(w.sup.exit_status(), kExitDocked);
  EXPECT_NE(w.last('l')->line.find("1 lost the station after"), std::string::npos)
      << w.last('l')->line;
}

// The search turn: towards the heading of the last sighting and at most 0.3
// rad past it, within 0.3 rad/s at 10 Hz, a zero at its end; not found, the
// run ends with "station not in view". Refused at the last attempt, no search.
TEST(RetrySupervisor, SearchTurnBoundsAndStationNotInView) {
  struct Case {
    const char* name;
    double node_v, node_w;  // how the robot moved after the camera lost the station
    double direction;       // of the search
  };
  const Case cases[] = {{"turned left", 0.0, 0.4, -1.0},
                        {"turned right", 0.0, -0.4, 1.0},
                        {"drove straight", -0.15, 0.0, 1.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.distance = 1.2;
    w.heading = 0.1;
    w.run(0.3);
    w.sup.start(w.t);
    w.run(0.5);
    const double seen_heading = w.heading;
    w.camera_on = false;
    w.node_v = c.node_v;
    w.node_w = c.node_w;
    w.run(3.0, {}, [&] { return w.find_request(1, 2) != nullptr; });
    w.run(0.4);
    w.answer(1, 1, 0);
    ASSERT_TRUE(w.sup.searching()) << w.last('l')->line;
    const double limit = seen_heading + c.direction * SearchTurn::kBeyond;
    const size_t from = w.sent.size() - 2;  // the search's first command and its line
    double furthest = w.heading;
    w.run(20.0, [&] {
      furthest = c.direction > 0 ? std::max(furthest, w.heading) : std::min(furthest, w.heading);
    });
    ASSERT_TRUE(w.sup.finished());
    EXPECT_EQ(w.sup.exit_status(), kExitFailed);
    EXPECT_EQ(w.sup.end_reason(), EndReason::kStationNotInView);
    EXPECT_TRUE(w.said("station not in view: not found turning")) << w.last('l')->line;
    EXPECT_EQ(w.sup.end_text().rfind("station not in view", 0), 0u) << w.sup.end_text();
    EXPECT_NEAR(furthest, limit, SearchTurn::kTolerance + 1e-9);
    EXPECT_LE(c.direction * (furthest - limit), 1e-9) << "past the limit";
    double previous = -1.0;
    int turning = 0;
    for (size_t i = from; i < w.sent.size(); ++i) {
      const Sent& s = w.sent[i];
      if (s.kind != 'v') continue;
      EXPECT_EQ(s.v, 0.0);
      if (previous >= 0.0) {
        EXPECT_LE(s.t - previous, 0.1 + 1e-9) << s.t;
      }
      previous = s.t;
      ++turning;
    }
    EXPECT_GT(turning, 5);
    EXPECT_EQ(w.turn, 0.0) << "the search ends with a zero";
    EXPECT_EQ(w.last('v')->v, 0.0);
    EXPECT_EQ(w.count_requests(0), 1);
  }
  {
    // A turn rate check: the world records the largest commanded turn.
    World w;
    w.run(0.3);
    w.sup.start(w.t);
    w.camera_on = false;
    w.node_w = 0.6;
    w.run(3.0, {}, [&] { return w.find_request(1, 2) != nullptr; });
    w.answer(1, 1, 0);
    double fastest = 0.0;
    w.run(20.0, [&] { fastest = std::max(fastest, std::abs(w.turn)); });
    EXPECT_EQ(w.sup.end_reason(), EndReason::kStationNotInView);
    EXPECT_LE(fastest, SearchTurn::kMaxRate);
    EXPECT_GE(fastest, SearchTurn::kMaxRate - 1e-9) << "0.9 rad to turn at full rate";
  }
  {
    // A stalled camera still publishes: no back-off on it, the search turns
    // on the spot and finds no change: perception frozen.
    World w;
    w.run(0.3);
    w.sup.start(w.t);
    w.node_w = 0.3;
    w.run(0.5);
    w.camera_stalled = true;
    w.run(3.0, {}, [&] { return w.find_request(1, 2) != nullptr; });
    w.answer(1, 1, 0);
    EXPECT_TRUE(w.sup.searching()) << w.last('l')->line;
    w.run(20.0);
    EXPECT_EQ(w.sup.end_reason(), EndReason::kPerceptionFrozen);
    EXPECT_TRUE(w.said("perception frozen: the camera pose did not change turning"));
    for (const Sent& s : w.sent) {
      EXPECT_TRUE(s.kind != 'v' || s.v == 0.0) << "drove on a stalled camera at " << s.t;
    }
  }
  {
    // Never seen at all: nothing to turn to.
    World w;
    w.camera_on = false;
    w.sup.start(w.t);
    w.run(1.1);
    ASSERT_NE(w.find_request(1, 2), nullptr) << "an attempt without a camera drives blind";
    w.answer(1, 1, 0);
    EXPECT_TRUE(w.sup.finished());
    EXPECT_EQ(w.sup.end_reason(), EndReason::kStationNotInView);
    EXPECT_TRUE(w.said("station not in view: no heading it was seen at"));
    EXPECT_EQ(w.last('v')->v, 0.0);
    EXPECT_EQ(w.turn, 0.0);
  }
  {
    // The last attempt refused: the run ends there, the robot stopped.
    Options o;
    o.attempts = 1;
    World w(o);
    w.run(0.3);
    w.sup.start(w.t);
    w.node_v = -0.1;
    w.run(1.0);
    w.camera_on = false;
    w.run(3.0, {}, [&] { return w.find_request(1, 2) != nullptr; });
    w.answer(1, 1, 0);
    EXPECT_TRUE(w.sup.finished());
    EXPECT_EQ(w.sup.exit_status(), kExitFailed);
    EXPECT_EQ(w.sup.end_reason(), EndReason::kPerceptionFrozen);
    EXPECT_EQ(w.sup.end_text().rfind("perception lost during attempt 1", 0), 0u)
        << w.sup.end_text();
    EXPECT_EQ(w.last('v')->v, 0.0);
    EXPECT_EQ(w.count_requests(0), 1);
  }
}

// Stage first: the options of a supervisor that stages.
Options stage_first() {
  Options o;
  o.stage_first = true;
  return o;
}

// Every command of the staging finite, forward, within the back-off's speed and turn rate.
void expect_staging_commands_bounded(const World& w) {
  for (const Sent& s : w.sent) {
    if (s.kind != 'v') continue;
    EXPECT_TRUE(std::isfinite(s.v)) << s.t;
    EXPECT_GE(s.v, 0.0) << s.t;
    EXPECT_LE(s.v, w.options.backoff_speed) << s.t;
  }
}

// Too close, or far off the axis: driven out onto the axis, stopped, and only then
// is the first attempt requested; no retry check on the way, nothing sent after.
TEST(StageFirst, APoorStartIsStagedOnTheAxisBeforeTheFirstAttempt) {
  struct Case {
    double distance, lateral, heading;
    double target;     // where attempt 1 must start, at least
    double converged;  // |lateral| then, at most
    const char* said;
  };
  const Case cases[] = {
      {0.6, -0.1, 0.1, 1.5, 0.02,
       "stage first: 0.61 m from the station, -0.10 m off the axis: staging on the axis at "
       "1.50 m, at 0.10 m/s"},
      {1.53, -0.3, -0.2, 2.5, 0.08, "staging on the axis at 2.50 m"},
      // Far off: brought closer, not onto the axis: the station stays in the camera's view.
      {1.7, 0.8, 0.2, 2.5, 0.7, "staging on the axis at 2.50 m"},
      {1.0, 0.3, 0.0, 2.04, 0.08, "staging on the axis at 2.04 m"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said);
    World w(stage_first());
    w.distance = c.distance;
    w.lateral = c.lateral;
    w.heading = c.heading;
    w.run(0.2);
    w.sup.start(w.t);
    EXPECT_EQ(w.find_request(1, 0), nullptr) << "attempt 1 before the staging";
    EXPECT_TRUE(w.sup.staging());
    EXPECT_EQ(w.sup.progress(w.t).state, RunState::kStaging);
    EXPECT_EQ(w.sup.progress(w.t).attempt, 0);
    EXPECT_TRUE(w.said(c.said));
    const double lateral_before = std::abs(w.lateral);
    double off_camera = 0.0;  // rad, the most the station stood off the camera's axis
    w.run(
        60.0,
        [&] {
          off_camera =
              std::max(off_camera, std::abs(std::atan2(w.lateral, w.distance) - w.heading));
        },
        [&] { return w.find_request(1, 0) != nullptr; });
    EXPECT_LE(off_camera, RetrySupervisor::kStageView + 0.02);
    const Sent* attempt = w.find_request(1, 0);
    ASSERT_NE(attempt, nullptr) << "no attempt after the staging";
    EXPECT_GE(std::hypot(w.distance, w.lateral), c.target - 0.01);
    EXPECT_LT(std::hypot(w.distance, w.lateral), c.target + 0.1);
    EXPECT_LT(std::abs(w.lateral), c.converged);
    EXPECT_LT(std::abs(w.lateral), lateral_before);
    ASSERT_NE(w.last('v'), nullptr);
    EXPECT_EQ(w.last('v')->v, 0.0) << "not stopped before the attempt";
    EXPECT_LE(w.last('v')->t, attempt->t);
    EXPECT_TRUE(w.said("staged at "));
    EXPECT_EQ(w.find_request(1, 2), nullptr) << "a retry check before any attempt";
    expect_staging_commands_bounded(w);
    EXPECT_FALSE(w.sup.staging());
    // The attempt is the node's: nothing more from us until its result.
    const size_t sent = w.sent.size();
    w.run(5.0);
    for (size_t i = sent; i < w.sent.size(); ++i) EXPECT_NE(w.sent[i].kind, 'v');
    w.sup.result(w.t, 1, 1, 1);
    EXPECT_EQ(w.sup.exit_status(), kExitDocked);
    EXPECT_TRUE(w.said("attempt 1 of 3, from "));
  }
}

// A good start, one beyond the reach of a staging run, a run without the option and a
// camera that shows nothing: attempt 1 at once (or after the look), the robot untouched.
TEST(StageFirst, OtherStartsBeginTheAttemptWithoutMovingTheRobot) {
  struct Case {
    double distance, lateral;
    bool stage_first, camera;
    const char* said;
    double by;  // s after the start the attempt is requested, at most
  };
  const Case cases[] = {
      {1.5, 0.05, true, true, "stage first: not needed, 1.50 m from the station, 0.05 m off", 0.0},
      // 5 cm short of the staging distance still counts as there.
      {1.46, -0.19, true, true, "stage first: not needed", 0.0},
      {2.5, 0.3, true, true, "too far out to stage; attempt 1 from here", 0.0},
      {2.3, -0.5, true, true, "too far out to stage", 0.0},
      {0.6, 0.4, false, true, "docking requested (1, 0, 0)", 0.0},
      {0.6, 0.4, true, false, "stage first: no camera pose within 1.0 s: attempt 1 from where",
       1.05},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said);
    World w(stage_first());
    w.distance = c.distance;
    w.lateral = c.lateral;
    w.options.stage_first = c.stage_first;
    RetrySupervisor sup(w.options, w);
    w.camera_on = c.camera;
    for (int i = 0; i < 4; ++i) {
      w.t += 0.05;
      if (c.camera && i % 2 == 1) {
        sup.camera(w.t, -w.distance, -w.lateral, 0.0);
      }
      sup.odometry(w.t, 0.0, 0.0, 0.0);
    }
    const double start = w.t;
    sup.start(w.t);
    for (int i = 0; i < 40 && !w.find_request(1, 0); ++i) {
      w.t += 0.05;
      sup.tick(w.t);
    }
    const Sent* attempt = w.find_request(1, 0);
    ASSERT_NE(attempt, nullptr);
    EXPECT_LE(attempt->t - start, c.by + 1e-9);
    if (c.by > 0.0) {
      EXPECT_GE(attempt->t - start, 1.0 - 1e-9) << "gave up on the camera early";
    }
    EXPECT_EQ(w.last('v'), nullptr) << "the robot was moved";
    EXPECT_TRUE(w.said(c.said));
    EXPECT_EQ(sup.progress(w.t).state, RunState::kDocking);
  }
}

// Every way out of the staging stops the robot and requests no attempt: the camera lost
// on the way, the robot not getting anywhere, an answer nobody asked for, an interrupt.
TEST(StageFirst, EveryEndOfTheStagingStopsTheRobot) {
  struct Case {
    const char* what;
    std::function<void(World&)> spoil;
    int status;
    EndReason reason;
    const char* said;
  };
  const Case cases[] = {
      {"camera lost", [](World& w) { w.camera_on = false; }, kExitFailed,
       EndReason::kPerceptionFrozen, "staging stopped: the camera pose has not changed for"},
      {"wheels slip", [](World& w) { w.speed_factor = 0.2; }, kExitFailed,
       EndReason::kBackoffStopped, "staging stopped: "},
      {"unexpected result", [](World& w) { w.sup.result(w.t, 1, 1, 0); }, kExitFailed,
       EndReason::kDockFailed, "unexpected result (1, 1, 0) while staging: robot stopped"},
      {"interrupted", [](World& w) { w.sup.interrupt(w.t); }, kExitNoResult, EndReason::kCanceled,
       "interrupted while staging: robot stopped"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    World w(stage_first());
    w.distance = 0.5;
    w.lateral = 0.05;
    w.run(0.2);
    w.sup.start(w.t);
    w.run(2.0);
    ASSERT_TRUE(w.sup.staging());
    ASSERT_GT(w.commanded, 0.0);
    c.spoil(w);
    w.run(60.0);
    ASSERT_TRUE(w.sup.finished());
    EXPECT_EQ(w.sup.exit_status(), c.status);
    EXPECT_EQ(w.sup.end_reason(), c.reason);
    EXPECT_TRUE(w.said(c.said));
    EXPECT_EQ(w.last('v')->v, 0.0);
    EXPECT_EQ(w.last('v')->t, w.t) << "the stop came late";
    EXPECT_EQ(w.find_request(1, 0), nullptr);
    EXPECT_EQ(w.find_request(1, 2), nullptr);
    EXPECT_LT(w.distance, 0.5 + 1.0 + Backoff::kOdometrySlack);
    expect_staging_commands_bounded(w);
  }
}

}  // namespace
}  // namespace align_request
