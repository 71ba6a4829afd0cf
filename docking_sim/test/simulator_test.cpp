#include "docking_sim/simulator.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace docking_sim {
namespace {

// Binary-exact step and latencies keep the hand-computed times exact.
constexpr double kDt = 1.0 / 64.0;

SimConfig ideal(Pose2d start = {1.5, 0.0, 0.0}) {
  SimConfig c;
  c.start = start;
  return c;
}

void run(Simulator& sim, int steps) {
  for (int i = 0; i < steps; ++i) {
    sim.step(kDt);
  }
}

TEST(SimulatorBase, CommandLatencyDelaysMotion) {
  SimConfig c = ideal();
  c.cmd_latency = 4 * kDt;
  Simulator sim(c);
  sim.command({-0.1, 0.0});
  run(sim, 4);
  EXPECT_DOUBLE_EQ(sim.truth().x, 1.5);
  EXPECT_DOUBLE_EQ(sim.last_command().v, -0.1);
  EXPECT_EQ(sim.commands(), 1);
  run(sim, 4);
  EXPECT_NEAR(sim.truth().x, 1.5 - 0.1 * 4 * kDt, 1e-12);
}

TEST(SimulatorBase, AccelerationLimitShapesTheStart) {
  SimConfig c = ideal();
  c.accel = {0.5, 0.0};
  Simulator sim(c);
  sim.command({-0.1, 0.0});
  run(sim, 1);
  EXPECT_DOUBLE_EQ(sim.velocity().v, -0.5 * kDt);
  run(sim, 63);
  // 12 ramp steps of k * 0.5/64 m/s, then 52 steps at 0.1 m/s.
  EXPECT_DOUBLE_EQ(sim.velocity().v, -0.1);
  EXPECT_NEAR(sim.truth().x, 1.5 - (0.5 * kDt * 78 + 52 * 0.1) * kDt, 1e-12);
}

TEST(SimulatorBase, WatchdogStopsASilentController) {
  SimConfig c = ideal();
  c.cmd_timeout = 0.25;
  Simulator sim(c);
  sim.command({0.0, 0.2});
  run(sim, 64);
  // Steps at t = 0 .. 0.25 turn; the base stops once the command is older.
  EXPECT_NEAR(sim.truth().heading, 17 * kDt * 0.2, 1e-12);
  EXPECT_DOUBLE_EQ(sim.velocity().w, 0.0);
  // The count of received commands tells the silence from a zero command.
  EXPECT_EQ(sim.commands(), 1);
  sim.command({0.0, 0.0});
  sim.command({0.0, 0.0});
  EXPECT_EQ(sim.commands(), 3);

  Simulator no_watchdog(ideal());
  no_watchdog.command({0.0, 0.2});
  run(no_watchdog, 64);
  EXPECT_NEAR(no_watchdog.truth().heading, 0.2, 1e-12);
}

TEST(SimulatorOdometry, StartsAtZeroAndCarriesItsErrors) {
  SimConfig c = ideal({1.5, 0.2, 0.3});
  c.odom_linear_scale = 1.1;
  Simulator sim(c);
  EXPECT_DOUBLE_EQ(sim.odometry().x, 0.0);
  sim.command({-0.1, 0.0});
  run(sim, 64);
  EXPECT_NEAR(sim.truth().x, 1.5 - 0.1 * std::cos(0.3), 1e-12);
  EXPECT_NEAR(sim.truth().y, 0.2 - 0.1 * std::sin(0.3), 1e-12);
  EXPECT_NEAR(sim.odometry().x, -0.11, 1e-12);
  EXPECT_NEAR(sim.odometry().y, 0.0, 1e-12);
  EXPECT_NEAR(sim.odometry_velocity().v, -0.11, 1e-12);

  SimConfig d = ideal();
  d.odom_yaw_drift = 0.01;
  Simulator drifting(d);
  run(drifting, 64);
  EXPECT_NEAR(drifting.odometry().heading, 0.01, 1e-12);
  EXPECT_DOUBLE_EQ(drifting.odometry_velocity().w, 0.01);
  EXPECT_DOUBLE_EQ(drifting.truth().heading, 0.0);
}

TEST(SimulatorPerception, DetectionShowsThePoseAtSampleTimeAfterLatency) {
  SimConfig c = ideal({1.5, 0.2, 0.1});
  c.perception.latency = 8 * kDt;
  Simulator sim(c);
  const StationPose expected = station_in_robot(sim.truth());
  sim.sample_perception();
  sim.command({-0.1, 0.0});
  run(sim, 7);
  EXPECT_FALSE(sim.pop_detection());
  run(sim, 1);
  const auto seen = sim.pop_detection();
  ASSERT_TRUE(seen);
  EXPECT_DOUBLE_EQ(seen->x, expected.x);
  EXPECT_DOUBLE_EQ(seen->y, expected.y);
  EXPECT_DOUBLE_EQ(seen->theta, expected.theta);
  EXPECT_FALSE(sim.pop_detection());
}

TEST(SimulatorPerception, NothingOutsideRangeOrViewOrOnDropout) {
  SimConfig far = ideal({3.5, 0.0, 0.0});
  Simulator out_of_range(far);
  out_of_range.sample_perception();
  EXPECT_FALSE(out_of_range.pop_detection());

  // Facing the station: the rear camera looks away from it.
  Simulator facing(ideal({1.5, 0.0, M_PI}));
  facing.sample_perception();
  EXPECT_FALSE(facing.pop_detection());

  SimConfig lossy = ideal();
  lossy.perception.dropout = 1.0;
  Simulator dropped(lossy);
  dropped.sample_perception();
  EXPECT_FALSE(dropped.pop_detection());
  EXPECT_FALSE(dropped.seen());  // in view, and still not seen
  EXPECT_TRUE(dropped.station_in_view());
  EXPECT_FALSE(facing.station_in_view());
  EXPECT_FALSE(out_of_range.seen());
}

TEST(SimulatorPerception, FreezeRepeatsTheLastDetectionExactly) {
  SimConfig c = ideal({1.5, 0.2, 0.1});
  c.perception.noise_xy = 0.01;
  c.perception.noise_theta = 0.01;
  c.perception.freeze_after = 0.0;
  Simulator sim(c);
  sim.sample_perception();
  const auto first = sim.pop_detection();
  ASSERT_TRUE(first);
  sim.command({-0.1, 0.1});
  for (int i = 0; i < 5; ++i) {
    run(sim, 6);
    sim.sample_perception();
    const auto again = sim.pop_detection();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->x, first->x);
    EXPECT_EQ(again->y, first->y);
    EXPECT_EQ(again->theta, first->theta);
  }

  // Frozen later: live detections until then, and a station out of view
  // after the freeze no longer matters.
  SimConfig late = ideal({1.5, 0.0, 0.0});
  late.perception.freeze_after = 0.5;
  Simulator stale(late);
  stale.command({0.0, 1.0});
  stale.sample_perception();
  const auto start = stale.pop_detection();
  run(stale, 16);
  stale.sample_perception();
  const auto live = stale.pop_detection();
  ASSERT_TRUE(start && live);
  EXPECT_NE(start->theta, live->theta);
  run(stale, 176);  // turned by 3 rad more: the station is long out of the rear view
  stale.sample_perception();
  const auto frozen = stale.pop_detection();
  ASSERT_TRUE(frozen);
  EXPECT_EQ(frozen->theta, live->theta);
}

// The camera publishes nothing within its silence, before and after it as usual;
// without an end it stays silent, and silence wins over a freeze.
TEST(SimulatorPerception, SilenceHidesTheStationForItsWindowOnly) {
  auto seen_at = [](const SimConfig& c) {
    Simulator sim(c);
    std::vector<bool> seen;
    for (int i = 0; i < 16; ++i) {  // samples every 8 steps: at 0, 0.125 .. 1.875 s
      sim.sample_perception();
      seen.push_back(sim.pop_detection().has_value());
      run(sim, 8);
    }
    return seen;
  };
  SimConfig window = ideal();
  window.perception.silent_after = 0.5;
  window.perception.silent_for = 0.5;
  std::vector<bool> expected(16, true);
  for (int i = 4; i < 8; ++i) expected[i] = false;  // 0.5 <= t < 1.0
  EXPECT_EQ(seen_at(window), expected);

  SimConfig forever = window;
  forever.perception.silent_for = 0.0;
  forever.perception.freeze_after = 0.25;
  for (int i = 8; i < 16; ++i) expected[i] = false;
  EXPECT_EQ(seen_at(forever), expected);

  EXPECT_EQ(seen_at(ideal()), std::vector<bool>(16, true));
}

// seen() is what the trajectory's blind stretches are made of: only a fresh detection
// counts; a frozen camera's repeats are published but are not a sighting.
TEST(SimulatorPerception, SeenOnlyWhenTheLastSampleDetectedTheStation) {
  Simulator sim(ideal());
  EXPECT_FALSE(sim.seen());  // no sample yet
  sim.sample_perception();
  EXPECT_TRUE(sim.seen());
  EXPECT_TRUE(sim.station_in_view());

  // Turning on the spot at 1 rad/s: out of the 120 degree view after about 1.05 rad.
  SimConfig turning = ideal();
  turning.perception.fov = 2.0944;
  Simulator turn(turning);
  turn.command({0.0, 1.0});
  std::vector<bool> seen, in_view;
  for (int i = 0; i < 16; ++i) {  // samples at 0, 0.125 .. 1.875 s
    turn.sample_perception();
    seen.push_back(turn.seen());
    in_view.push_back(turn.station_in_view());
    run(turn, 8);
  }
  EXPECT_EQ(seen, in_view);
  EXPECT_TRUE(seen.front());
  EXPECT_FALSE(seen.back());
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 9);  // heading <= 1.0 rad at 1.0 s

  SimConfig frozen = ideal();
  frozen.perception.freeze_after = 0.1;
  Simulator stale(frozen);
  stale.sample_perception();
  EXPECT_TRUE(stale.seen());
  run(stale, 8);
  stale.sample_perception();
  EXPECT_TRUE(stale.pop_detection());  // the repeat is published...
  EXPECT_FALSE(stale.seen());          // ...but nothing was seen
  EXPECT_TRUE(stale.station_in_view());
}

TEST(SimulatorPerception, NoiseHasTheConfiguredSpread) {
  SimConfig c = ideal({1.5, 0.2, 0.1});
  c.perception.noise_xy = 0.01;
  c.perception.noise_theta = 0.02;
  Simulator sim(c);
  const StationPose exact = station_in_robot(sim.truth());
  const int n = 4000;
  double sum = 0.0, sq = 0.0, sq_theta = 0.0;
  for (int i = 0; i < n; ++i) {
    sim.sample_perception();
    const auto s = sim.pop_detection();
    ASSERT_TRUE(s);
    sum += s->y - exact.y;
    sq += (s->y - exact.y) * (s->y - exact.y);
    sq_theta += (s->theta - exact.theta) * (s->theta - exact.theta);
  }
  EXPECT_NEAR(sum / n, 0.0, 0.001);
  EXPECT_NEAR(std::sqrt(sq / n), 0.01, 0.001);
  EXPECT_NEAR(std::sqrt(sq_theta / n), 0.02, 0.002);
}

}  // namespace
}  // namespace docking_sim
