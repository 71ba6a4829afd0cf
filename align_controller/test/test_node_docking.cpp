// Whole dockings against the running node, scripted pose by pose: the four
// steps and their hand-over, the ends of an attempt and the automatic kind.
#include <gtest/gtest.h>

#include <cmath>

#include "docking_peer.hpp"

namespace {

const std::array<double, 3> kRequestPose{10.0, 10.0, -2.0};

bool near(const Twist& t, double vx, double wz) {
  return std::abs(t.linear.x - vx) < 1e-9 && std::abs(t.angular.z - wz) < 1e-9 && t.linear.y == 0 &&
         t.linear.z == 0 && t.angular.x == 0 && t.angular.y == 0;
}

using Texts = std::vector<std::string>;
const Texts kZeros(5, "Publish the zero cmd");

// From line from on, one line per text, each containing its text.
void expect_lines(const std::vector<std::string>& lines, size_t from, const Texts& texts) {
  ASSERT_GE(lines.size(), from + texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_NE(lines[from + i].find(texts[i]), std::string::npos)
        << "line " << from + i << ": " << lines[from + i] << " lacks " << texts[i];
  }
}

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
  ASSERT_TRUE(peer.wait_pose(kRequestPose));
}

TEST(NodeDocking, ScriptedDockingRunsAllFourStepsToSuccess) {
  DockingPeer peer(70);
  ASSERT_NO_FATAL_FAILURE(begin_attempt(peer));

  // Step 1 finds the heading on target; the previous error was far off, so
  // one more turning cycle comes before completion.
  const double h1 = std::atan2(0.3, 1.0);
  peer.robot_in_station(2.0, 0.3, h1);
  const auto p1 = peer.wait_pose({2.0, 0.3, h1});
  ASSERT_TRUE(p1);
  const auto done1 = peer.wait_line("first angle adjust done", *p1);
  ASSERT_TRUE(done1);
  ASSERT_TRUE(peer.wait_line("step 2 ***********", *done1));
  // Not near the station axis: step 2 reverses, in the same cycle.
  expect_lines(peer.lines(), *done1 + 1, concat(kZeros, Texts{"step 2"}));
  ASSERT_TRUE(peer.wait_line("step 2 ***********", *done1 + 7));
  ASSERT_TRUE(peer.spin_until([&] { return near(peer.cmds.back(), -0.1, 0.0); }, 5s));

  // Step 2 ends on the axis and step 3 starts turning in the same cycle.
  peer.robot_in_station(1.9, 0.03, h1);
  const auto done2 = peer.wait_line("positionAdjust_bfrScope: ");
  ASSERT_TRUE(done2);
  EXPECT_NEAR(*parse_value(peer.lines()[*done2], "positionAdjust_bfrScope"), 0.03, 1e-9);
  ASSERT_TRUE(peer.wait_line("second angle adjust doing... -0.1", *done2));
  expect_lines(peer.lines(), *done2 + 1,
               concat(kZeros, Texts{"step 3 ***********",
                                    "second angle adjust: ", "second angle adjust doing... -0.1"}));

  // Step 3 completes on the second error inside the tolerance, step 4 follows.
  const double h3 = std::atan2(0.03, 1.9);
  peer.robot_in_station(1.9, 0.03, h3);
  const auto done3 = peer.wait_line("second angle adjust done");
  ASSERT_TRUE(done3);
  ASSERT_TRUE(peer.wait_line("output, dxdydr", *done3));
  expect_lines(peer.lines(), *done3 + 1,
               concat(kZeros, Texts{"step 4 ***********", "poseAlign, dxdydr: 1.9", " Vx: -0.01",
                                    "output, dxdydr: 1.9"}));
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
  const auto finish = peer.wait_line("docking finish! 0.2");
  ASSERT_TRUE(finish);
  const auto finish_time = std::chrono::steady_clock::now();
  ASSERT_TRUE(peer.spin_until([&] { return !peer.results.empty(); }, 15s));
  EXPECT_GE(std::chrono::steady_clock::now() - finish_time, 3500ms);
  EXPECT_EQ(peer.results[0], (Align{1, 1, 1}));
  ASSERT_TRUE(peer.wait_line("Rush after arrive station", *finish));
  const auto lines = peer.lines();
  EXPECT_NE(lines[*finish - 1].find("viehcle_pose_in_station_frame:*0.2, 0, 0"), std::string::npos);
  expect_lines(lines, *finish + 1,
               concat(kZeros, Texts(20, "Publish the Rush cmd"), kZeros,
                      Texts{"Rush after arrive station"}));
  ASSERT_GE(peer.cmds.size(), 31u);
  const size_t end = peer.cmds.size();
  for (size_t i = end - 30; i < end; ++i) {
    const bool push = i >= end - 25 && i < end - 5;
    EXPECT_TRUE(push ? near(peer.cmds[i], -0.1, 0.0) : is_zero(peer.cmds[i])) << i;
  }
  EXPECT_FALSE(is_zero(peer.cmds[end - 31]));

  // After success no cycle runs until the next request.
  peer.spin_for(1s);
  EXPECT_EQ(peer.count_lines("viehcle_pose_in_station_frame", *finish), 0u);
  EXPECT_EQ(peer.results.size(), 1u);
}

TEST(NodeDocking, SkippedPositionStepThenBigErrorFails) {
  DockingPeer peer(71);
  ASSERT_NO_FATAL_FAILURE(begin_attempt(peer));
  peer.robot_in_station(2.0, 0.0, 0.0);
  const auto p = peer.wait_pose({2.0, 0.0, 0.0});
  ASSERT_TRUE(p);
  // Error exactly 0 after an error outside the tolerance: a turning cycle at rate 0.
  ASSERT_TRUE(peer.wait_line("first angle adjust doing... 0", *p));
  const auto done1 = peer.wait_line("first angle adjust done", *p);
  ASSERT_TRUE(done1);
  ASSERT_TRUE(peer.wait_line("output, dxdydr", *done1));
  // Steps 1 to 4 in one cycle; step 2 is skipped without a command or a pause.
  expect_lines(peer.lines(), *done1 + 1,
               concat(kZeros,
                      Texts{"step 2 ***********", "step 3 ***********", "second angle adjust: 0",
                            "second angle adjust done"},
                      kZeros,
                      Texts{"step 4 ***********",
                            // Zeros match the history's initial zeros.
                            "odom_data_start_delay_index_: 1", "poseAlign, dxdydr: 2, 0, 0"}));

  // Near the station with a lateral error above 0.8: the attempt fails.
  peer.robot_in_station(0.5, 0.9, 0.0);
  const auto big = peer.wait_line("[WARN] big error: 0.9, 0");
  ASSERT_TRUE(big);
  ASSERT_TRUE(peer.spin_until([&] { return !peer.results.empty(); }, 5s));
  EXPECT_EQ(peer.results[0], (Align{1, 1, 0}));
  expect_lines(peer.lines(), *big + 1, concat(Texts{"[WARN] docking failed ***********"}, kZeros));
  // The gate published nothing: the last command before the stop is the
  // previous cycle's approach command.
  ASSERT_TRUE(peer.spin_until([&] { return peer.cmds.size() >= 6; }, 5s));
  const size_t end = peer.cmds.size();
  for (size_t i = end - 5; i < end; ++i) EXPECT_TRUE(is_zero(peer.cmds[i]));
  EXPECT_LT(peer.cmds[end - 6].linear.x, 0.0);
  peer.spin_for(1s);
  EXPECT_EQ(peer.count_lines("viehcle_pose_in_station_frame", *big), 0u);
}

TEST(NodeDocking, AngleStepNeedsTwoErrorsInsideToleranceAndTurnsTheLongWay) {
  DockingPeer peer(73);
  ASSERT_NO_FATAL_FAILURE(begin_attempt(peer));
  // Heading 3.1 against a target direction of -3.1: the error 6.2 is not wrapped.
  peer.robot_in_station(1.0 + std::cos(-3.1), std::sin(-3.1), 3.1);
  const auto far = peer.wait_pose({1.0 + std::cos(-3.1), std::sin(-3.1), 3.1});
  ASSERT_TRUE(far);
  ASSERT_TRUE(peer.wait_line("first angle adjust doing... -0.2", *far));
  EXPECT_NEAR(*parse_value(peer.lines()[*far + 2], "first angle error"), 6.2, 1e-9);

  // 0.03 rad off: inside the tolerance, but the previous error was not.
  const double heading = 0.08;
  const double target = heading - 0.03;
  const std::array<double, 3> pose{1.0 + 2.0 * std::cos(target), 2.0 * std::sin(target), heading};
  peer.robot_in_station(pose[0], pose[1], pose[2]);
  const auto inside = peer.wait_pose(pose);
  ASSERT_TRUE(inside);
  ASSERT_TRUE(peer.wait_line("first angle adjust", *inside + 2));
  auto lines = peer.lines();
  EXPECT_NE(lines[*inside + 3].find("first angle adjust doing... -0.2"), std::string::npos);
  const auto done = peer.wait_line("first angle adjust done", *inside);
  ASSERT_TRUE(done);
  EXPECT_EQ(*done, *inside + 7);
  // A heading of exactly 0.08 does not skip step 2: it reverses.
  ASSERT_TRUE(peer.wait_line("step 2 ***********", *done));
  ASSERT_TRUE(peer.spin_until([&] { return near(peer.cmds.back(), -0.1, 0.0); }, 5s));
  ASSERT_TRUE(peer.wait_cycles(1));
  EXPECT_EQ(peer.count_lines("step 3", *done), 0u);
}

TEST(NodeDocking, OdometryFeedsTheStalePoseEstimate) {
  DockingPeer peer(74);
  ASSERT_NO_FATAL_FAILURE(begin_attempt(peer));
  // On the axis, lateral and heading errors 0: every approach cycle is frozen.
  peer.robot_in_station(2.0, 0.0, 0.0);
  const auto first = peer.wait_line("odom_data_start_delay_index_: 1");
  ASSERT_TRUE(first);
  ASSERT_TRUE(peer.wait_line("odom_data_start_delay_index_: 3", *first));
  // Requested by the fallback: the next odometry is captured as the start.
  const double q = std::sin(M_PI / 4);
  peer.odom(1.0, 2.0, q, q);
  auto start = peer.wait_line_where([](const std::string& line) {
    const auto x = parse_value(line, "odom_data_start");
    return x && *x == 1.0;
  });
  ASSERT_TRUE(start);
  auto lines = peer.lines();
  EXPECT_NE(lines[*start].find("odom_data_start: 1, 2, "), std::string::npos);
  EXPECT_NE(lines[*start + 1].find("odom_data_current: 1, 2, "), std::string::npos);
  const double yaw = std::stod(lines[*start].substr(lines[*start].rfind(", ") + 2));
  EXPECT_NEAR(yaw, M_PI / 2, 1e-12);

  // Not requested any more: odometry moves the current pose only.
  peer.odom(1.5, 2.0, 1.0, 0.0);
  const auto moved = peer.wait_line("odom_data_current: 1.5, 2, 3.14159", *start);
  ASSERT_TRUE(moved);
  lines = peer.lines();
  EXPECT_NE(lines[*moved - 1].find("odom_data_start: 1, 2, 1.57079"), std::string::npos);
  EXPECT_NE(lines[*moved + 1].find("odom_data_diff: 0.5, 0, 1.57079"), std::string::npos);
  // The estimate goes to the log; the regulators still see zero errors.
  EXPECT_NE(lines[*moved + 3].find("poseAlign, dxdydr: 2, 0, 0,"), std::string::npos);
  EXPECT_EQ(peer.count_lines("odom_data_start_delay_index_"), 3u);
}

TEST(NodeDocking, AutomaticKindStartsOneBlindAttemptInIteration32) {
  DockingPeer peer(72);
  const auto spawned = std::chrono::steady_clock::now();
  peer.start_node({"--ros-args", "-p", "trigger_mode:=4.0"});
  const auto first = peer.wait_line("viehcle_pose_in_station_frame", 0, 30s);
  ASSERT_TRUE(first);
  // 31 loop periods of 1/6 s pass first.
  EXPECT_GE(std::chrono::steady_clock::now() - spawned, 5100ms);
  EXPECT_EQ(*first, 0u);
  ASSERT_TRUE(peer.wait_line("step 1 ***********"));
  // No pose yet: the robot counts as far away, not docked.
  expect_lines(peer.lines(), 0, {"viehcle_pose_in_station_frame:*10, 10, ", "step 1 ***********"});
  EXPECT_TRUE(peer.results.empty());

  peer.robot_in_station(0.2, 0.0, 0.0);
  ASSERT_TRUE(peer.wait_line("docking finish! 0.2"));
  ASSERT_TRUE(peer.spin_until([&] { return !peer.results.empty(); }, 15s));
  EXPECT_EQ(peer.results[0], (Align{1, 1, 1}));

  // Never another attempt, not even on request.
  const size_t cycles = peer.count_lines("viehcle_pose_in_station_frame");
  peer.request(1, 0, 0);
  ASSERT_TRUE(peer.wait_line("Align request callback: 1, 0, 0"));
  peer.spin_for(1500ms);
  EXPECT_EQ(peer.count_lines("viehcle_pose_in_station_frame"), cycles);
  EXPECT_EQ(peer.results.size(), 1u);
}

}  // namespace
