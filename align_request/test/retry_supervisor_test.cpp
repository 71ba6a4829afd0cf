#include "align_request/retry_supervisor.hpp"

#include <gtest/gtest.h>

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
      const double step = commanded * speed_factor * 0.05;
      distance += step * std::cos(heading);
      lateral += step * std::sin(heading);
      heading += turn * 0.05;
      travelled += step;
      if (camera_on && ++frames % 2 == 0) {
        // The station in the robot's frame.
        const double c = std::cos(heading), s = std::sin(heading);
        sup.camera(t, -distance * c - lateral * s, distance * s - lateral * c, -heading);
      }
      sup.odometry(travelled, 0.0);
      sup.tick(t);
      if (react) react();
      if (done && done()) return;
    }
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
  int frames = 0;
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

}  // namespace
}  // namespace align_request
