// Whole dockings against the running node, scripted pose by pose: the four
// steps and their hand-over, the ends of an attempt and the automatic kind.
#include <gtest/gtest.h>

#include <cmath>

#include "docking_peer/docking_peer.hpp"

namespace {

const std::array<double, 3> kRequestPose{10.0, 10.0, -2.0};

bool near(const Twist& t, double vx, double wz) {
  return std::abs(t.linear.x - vx) < 1e-9 && std::abs(t.angular.z - wz) < 1e-9 && t.linear.y == 0 &&
         t.linear.z == 0 && t.angular.x == 0 && t.angular.y == 0;
}

using Texts = std::vector<std::string>;
const Texts kZeros(5, "Publish the zero cmd");

template <class... Parts>
Texts concat(const Parts&... parts) {
  Texts all;
  (all.insert(all.end(), parts.begin(), parts.end()), ...);
  return all;
}

// Starts the node and requests a docking; its first cycle runs blind.
void begin_attempt(DockingPeer& peer) {
  peer.start_node();
  peer.request(1, 0, 0);
  peer.wait_pose(kRequestPose);
}

TEST(NodeDocking, ScriptedDockingRunsAllFourStepsToSuccess) {
  DockingPeer peer(70);
  begin_attempt(peer);

  // Step 1 finds the heading on target; the previous error was far off, so
  // one more turning cycle comes before completion.
  const double h1 = std::atan2(0.3, 1.0);
  peer.robot_in_station(2.0, 0.3, h1);
  const size_t p1 = peer.wait_pose({2.0, 0.3, h1});
  const size_t done1 = peer.wait_line("first angle adjust done", p1);
  peer.wait_line("step 2 ***********", done1);
  // Not near the station axis: step 2 reverses, in the same cycle.
  peer.expect_lines(done1 + 1, concat(kZeros, Texts{"step 2"}));
  peer.wait_line("step 2 ***********", done1 + 7);
  ASSERT_TRUE(peer.spin_until([&] { return near(peer.cmds.back(), -0.1, 0.0); }, 5s));

  // Step 2 ends on the axis and step 3 starts turning in the same cycle.
  peer.robot_in_station(1.9, 0.03, h1);
  const size_t done2 = peer.wait_line("positionAdjust_bfrScope: ");
  EXPECT_NEAR(numbers_after(peer.lines()[done2], "positionAdjust_bfrScope: ").at(0), 0.03, 1e-9);
  peer.wait_line("second angle adjust doing... -0.1", done2);
  peer.expect_lines(done2 + 1, concat(kZeros, Texts{"step 3 ***********", "second angle adjust: ",
                                                    "second angle adjust doing... -0.1"}));

  // Step 3 completes on the second error inside the tolerance, step 4 follows.
  const double h3 = std::atan2(0.03, 1.9);
  peer.robot_in_station(1.9, 0.03, h3);
  const size_t done3 = peer.wait_line("second angle adjust done");
  peer.wait_line("output, dxdydr", done3);
  peer.expect_lines(done3 + 1, concat(kZeros, Texts{"step 4 ***********", "poseAlign, dxdydr: 1.9",
                                                    " Vx: -0.01", "output, dxdydr: 1.9"}));
  // Same-sign weighting of the two regulator terms on the first approach cycle.
  const double w_dy = 0.03;
  const double w_dr = 0.2 * -h3;
  ASSERT_TRUE(peer.spin_until(
      [&] {
        return std::any_of(peer.cmds.begin(), peer.cmds.end(),
                           [&](const Twist& t) { return near(t, -0.01, 1.5 * w_dy + 0.5 * w_dr); });
      },
      5s));

  // Docked: stop, wait, push, report.
  peer.robot_in_station(0.2, 0.0, 0.0);
  const size_t finish = peer.wait_line("docking finish! 0.2");
  const auto finish_time = std::chrono::steady_clock::now();
  ASSERT_TRUE(peer.spin_until([&] { return !peer.results.empty(); }, 15s));
  EXPECT_GE(std::chrono::steady_clock::now() - finish_time, 3500ms);
  EXPECT_EQ(peer.results[0], make_align(1, 1, 1));
  peer.wait_line("Rush after arrive station", finish);
  peer.expect_lines(
      finish - 1,
      concat(Texts{"viehcle_pose_in_station_frame:*0.2, 0, 0", "docking finish!"}, kZeros,
             Texts(20, "Publish the Rush cmd"), kZeros, Texts{"Rush after arrive station"}));
  ASSERT_GE(peer.cmds.size(), 31u);
  const size_t end = peer.cmds.size();
  for (size_t i = end - 30; i < end; ++i) {
    const bool push = i >= end - 25 && i < end - 5;
    EXPECT_TRUE(push ? near(peer.cmds[i], -0.1, 0.0) : is_zero(peer.cmds[i])) << i;
  }
  EXPECT_FALSE(is_zero(peer.cmds[end - 31]));

  // After success no cycle runs until the next request.
  peer.spin_for(1s);
  EXPECT_EQ(peer.count_lines("viehcle_pose_in_station_frame", finish), 0u);
  EXPECT_EQ(peer.results.size(), 1u);
}

TEST(NodeDocking, OnTheAxisStepsHandOverOdometryFallbackAndBigErrorFails) {
  DockingPeer peer(71);
  begin_attempt(peer);
  peer.robot_in_station(2.0, 0.0, 0.0);
  const size_t p = peer.wait_pose({2.0, 0.0, 0.0});
  // Error exactly 0 after an error outside the tolerance: a turning cycle at rate 0.
  peer.wait_line("first angle adjust doing... 0", p);
  const size_t done1 = peer.wait_line("first angle adjust done", p);
  peer.wait_line("output, dxdydr", done1);
  // Steps 1 to 4 in one cycle; step 2 is skipped without a command or a pause.
  peer.expect_lines(
      done1 + 1, concat(kZeros,
                        Texts{"step 2 ***********", "step 3 ***********", "second angle adjust: 0",
                              "second angle adjust done"},
                        kZeros,
                        Texts{"step 4 ***********",
                              // Zeros match the history's initial zeros.
                              "odom_data_start_delay_index_: 1", "poseAlign, dxdydr: 2, 0, 0"}));

  // Every approach cycle on the axis is frozen.
  peer.wait_line("odom_data_start_delay_index_: 3", done1);
  // Requested by the fallback: the next odometry is captured as the start.
  const double q = std::sin(M_PI / 4);
  peer.odom(1.0, 2.0, q, q);
  const size_t start = peer.wait_line("odom_data_start: 1, 2, ");
  peer.expect_lines(start + 1, {"odom_data_current: 1, 2, "});
  EXPECT_NEAR(numbers_after(peer.lines()[start], "odom_data_start: ").at(2), M_PI / 2, 1e-12);

  // Not requested any more: odometry moves the current pose only.
  peer.odom(1.5, 2.0, 1.0, 0.0);
  const size_t moved = peer.wait_line("odom_data_current: 1.5, 2, 3.14159", start);
  // The estimate goes to the log; the regulators still see zero errors.
  peer.expect_lines(moved - 1, {"odom_data_start: 1, 2, 1.57079", "odom_data_current",
                                "odom_data_diff: 0.5, 0, 1.57079", "odom, dxdydr",
                                "poseAlign, dxdydr: 2, 0, 0,"});
  EXPECT_EQ(peer.count_lines("odom_data_start_delay_index_"), 3u);

  // Near the station with a lateral error above 0.8: the attempt fails.
  peer.robot_in_station(0.5, 0.9, 0.0);
  const size_t big = peer.wait_line("[WARN] big error: 0.9, 0");
  ASSERT_TRUE(peer.spin_until([&] { return !peer.results.empty(); }, 5s));
  EXPECT_EQ(peer.results[0], make_align(1, 1, 0));
  peer.expect_lines(big + 1, concat(Texts{"[WARN] docking failed ***********"}, kZeros));
  // The gate published nothing: the last command before the stop is the
  // previous cycle's approach command.
  ASSERT_TRUE(peer.spin_until([&] { return peer.cmds.size() >= 6; }, 5s));
  const size_t end = peer.cmds.size();
  for (size_t i = end - 5; i < end; ++i) EXPECT_TRUE(is_zero(peer.cmds[i]));
  EXPECT_LT(peer.cmds[end - 6].linear.x, 0.0);
  peer.spin_for(1s);
  EXPECT_EQ(peer.count_lines("viehcle_pose_in_station_frame", big), 0u);
}

TEST(NodeDocking, AngleStepNeedsTwoErrorsInsideToleranceAndTurnsTheLongWay) {
  DockingPeer peer(73);
  begin_attempt(peer);
  // Heading 3.1 against a target direction of -3.1: the error 6.2 is not wrapped.
  peer.robot_in_station(1.0 + std::cos(-3.1), std::sin(-3.1), 3.1);
  const size_t far = peer.wait_pose({1.0 + std::cos(-3.1), std::sin(-3.1), 3.1});
  peer.wait_line("first angle adjust doing... -0.2", far);
  EXPECT_NEAR(numbers_after(peer.lines()[far + 2], "first angle error: ").at(0), 6.2, 1e-9);

  // 0.03 rad off: inside the tolerance, but the previous error was not.
  const double heading = 0.08;
  const double target = heading - 0.03;
  const std::array<double, 3> pose{1.0 + 2.0 * std::cos(target), 2.0 * std::sin(target), heading};
  peer.robot_in_station(pose[0], pose[1], pose[2]);
  const size_t inside = peer.wait_pose(pose);
  peer.wait_line("first angle adjust", inside + 2);
  peer.expect_lines(inside + 3, {"first angle adjust doing... -0.2"});
  const size_t done = peer.wait_line("first angle adjust done", inside);
  EXPECT_EQ(done, inside + 7);
  // A heading of exactly 0.08 does not skip step 2: it reverses.
  peer.wait_line("step 2 ***********", done);
  ASSERT_TRUE(peer.spin_until([&] { return near(peer.cmds.back(), -0.1, 0.0); }, 5s));
  peer.wait_cycles(1);
  EXPECT_EQ(peer.count_lines("step 3", done), 0u);
}

TEST(NodeDocking, AutomaticKindStartsOneBlindAttemptInIteration32) {
  DockingPeer peer(72);
  const auto spawned = std::chrono::steady_clock::now();
  peer.start_node({"--ros-args", "-p", "trigger_mode:=4.0"});
  peer.wait_line("step 1 ***********", 0, 30s);
  // 31 loop periods of 1/6 s pass first.
  EXPECT_GE(std::chrono::steady_clock::now() - spawned, 5100ms);
  // No pose yet: the robot counts as far away, not docked.
  peer.expect_lines(0, {"viehcle_pose_in_station_frame:*10, 10, ", "step 1 ***********"});
  EXPECT_TRUE(peer.results.empty());

  peer.robot_in_station(0.2, 0.0, 0.0);
  peer.wait_line("docking finish! 0.2");
  ASSERT_TRUE(peer.spin_until([&] { return !peer.results.empty(); }, 15s));
  EXPECT_EQ(peer.results[0], make_align(1, 1, 1));

  // Never another attempt, not even on request.
  const size_t cycles = peer.count_lines("viehcle_pose_in_station_frame");
  peer.request(1, 0, 0);
  peer.wait_line("Align request callback: 1, 0, 0");
  peer.spin_for(1500ms);
  EXPECT_EQ(peer.count_lines("viehcle_pose_in_station_frame"), cycles);
  EXPECT_EQ(peer.results.size(), 1u);
}

}  // namespace
