// Requests on /align_request against the running node: what starts an
// attempt, what the callbacks store, the retry check and input hygiene.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "docking_peer/docking_peer.hpp"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const std::array<double, 3> kRequestPose{10.0, 10.0, -2.0};

TEST(NodeRequests, DockRequestRunsCycleInSameIterationAndCallbacksTransformPoses) {
  DockingPeer peer(60);
  peer.start_node();
  peer.request(1, 0, 0);
  const size_t at = peer.wait_line("Align request callback: 1, 0, 0");
  peer.wait_line("first angle adjust doing", at);
  // The first log line of the process, then the active cycle of the same iteration.
  const auto lines = peer.lines();
  EXPECT_EQ(lines[0], "  1 [INFO] Align request callback: 1, 0, 0");
  EXPECT_EQ(lines[1], "  2 [INFO] viehcle_pose_in_station_frame:*10, 10, -2");
  EXPECT_EQ(lines[2], "  3 [INFO] step 1 ***********");
  ASSERT_TRUE(peer.spin_until([&] { return !peer.cmds.empty(); }, 5s));
  EXPECT_EQ(peer.cmds[0].angular.z, 0.2);

  // Each pose replaces the robot's station-frame pose that cycles log.
  peer.docking_pose(1.0, 0.0, 0.0);
  size_t seen = peer.wait_pose({-1.0, 0.0, 0.0}, at);
  peer.docking_pose(0.0, 1.0, M_PI / 2);
  seen = peer.wait_pose({-1.0, 0.0, -M_PI / 2}, seen);
  peer.docking_pose(2.0, 0.5, 0.3);
  seen = peer.wait_pose({-(2.0 * std::cos(0.3) + 0.5 * std::sin(0.3)),
                         2.0 * std::sin(0.3) - 0.5 * std::cos(0.3), -0.3},
                        seen);

  // A repeated request goes on with the attempt, and its 10.0 / 2.0 stand
  // over the pose that came before it until the next pose.
  peer.request(1, 0, 0);
  const size_t again = peer.wait_line("Align request callback: 1, 0, 0", seen);
  peer.wait_line("first angle adjust doing", again);
  peer.expect_lines(again + 1, {"viehcle_pose_in_station_frame:*10, 10, -2"});
  peer.spin_for(500ms);
  EXPECT_EQ(peer.count_lines("viehcle_pose_in_station_frame:*10, 10, -2", again),
            peer.count_lines("viehcle_pose_in_station_frame:", again));
  peer.docking_pose(1.0, 0.0, 0.0);
  peer.wait_pose({-1.0, 0.0, 0.0}, again);
  EXPECT_TRUE(peer.results.empty());
}

TEST(NodeRequests, OtherCombinationsStartAndPublishNothing) {
  DockingPeer peer(61);
  peer.start_node();
  const int combos[][3] = {{1, 1, 0}, {2, 0, 0}, {1, 0, 1}, {0, 2, 0}, {1, 2, 1}, {-1, 0, 0}};
  for (const auto& c : combos) {
    peer.request(c[0], c[1], c[2]);
    peer.wait_line("Align request callback: " + std::to_string(c[0]) + ", " + std::to_string(c[1]) +
                   ", " + std::to_string(c[2]));
  }
  peer.spin_for(1500ms);
  EXPECT_EQ(peer.lines().size(), std::size(combos));
  EXPECT_TRUE(peer.cmds.empty());
  EXPECT_TRUE(peer.results.empty());
}

TEST(NodeRequests, RetryRefusedOnlyWhenPerceptionFreezes) {
  DockingPeer peer(62);
  peer.start_node();
  // Perception keeps changing: the checks run every iteration and refuse nothing.
  peer.request(1, 2, 0);
  peer.wait_line("Align request callback: 1, 2, 0");
  for (int k = 0; k < 20; ++k) {
    peer.robot_in_station(2.0, 0.1 + 0.01 * k, 0.0);
    peer.spin_for(100ms);
  }
  EXPECT_EQ(peer.count_lines("retry failed"), 0u);
  EXPECT_TRUE(peer.results.empty());

  // Perception stops: refused within three checks.
  const size_t refused = peer.wait_line("[ERROR] retry failed error code is 101100013", 0, 5s);
  ASSERT_TRUE(peer.spin_until([&] { return !peer.results.empty(); }, 5s));
  EXPECT_EQ(peer.results[0], make_align(1, 1, 0));
  EXPECT_EQ(peer.cmds.size(), 5u);
  for (const auto& cmd : peer.cmds) EXPECT_TRUE(is_zero(cmd));
  peer.expect_lines(refused + 1, std::vector<std::string>(5, "Publish the zero cmd"));

  // The refusal cleared the request: no further checks, no active cycle.
  peer.spin_for(1s);
  EXPECT_EQ(peer.count_lines("retry failed"), 1u);
  EXPECT_EQ(peer.results.size(), 1u);
  EXPECT_EQ(peer.count_lines("viehcle_pose_in_station_frame"), 0u);
}

TEST(NodeRequests, ImplausibleInputIsDroppedWholeWithOneWarningPerRun) {
  DockingPeer peer(63);
  peer.start_node();
  peer.request(1, 0, 0);
  peer.wait_pose(kRequestPose);

  // Bad poses, non-finite or out of bounds, warn once and leave the
  // request's pose standing.
  peer.docking_pose(kNaN, 0.5, 0.0);
  const size_t warned =
      peer.wait_line("[WARN] /docking_pose dropped, non-finite value: nan, 0.5, 0");
  peer.docking_pose(1.0, kInf, 0.0);
  peer.wait_cycles(1);
  peer.docking_pose(1.5e308, 1.5e308, -0.3);
  peer.wait_cycles(2);
  EXPECT_EQ(peer.count_lines("/docking_pose dropped"), 1u);
  EXPECT_EQ(peer.count_lines("viehcle_pose_in_station_frame:*10, 10, -2"),
            peer.count_lines("viehcle_pose_in_station_frame:"));
  // A good pose ends the run; the next bad one warns again.
  peer.robot_in_station(2.0, 0.3, 1.0);
  size_t good = peer.wait_pose({2.0, 0.3, 1.0}, warned);
  peer.docking_pose(0.0, 0.0, -kInf);
  peer.wait_line("/docking_pose dropped, non-finite value: 0, 0, -inf", good);
  peer.wait_pose({2.0, 0.3, 1.0}, good + 1);
  peer.robot_in_station(2.0, 0.4, 1.0);
  good = peer.wait_pose({2.0, 0.4, 1.0}, good);
  peer.docking_pose(1.0, 0.0, 3e300);
  peer.wait_line("[WARN] /docking_pose dropped, implausible value: 1, 0, 3e+300", good);
  peer.wait_pose({2.0, 0.4, 1.0}, good + 1);

  // Odometry keeps its own run.
  peer.odom(0.0, 0.0, kNaN, 1.0);
  peer.wait_line("[WARN] /diff_bot/odom dropped, non-finite value: 0, 0, nan, 1");
  peer.odom(kInf, 0.0, 0.0, 1.0);
  peer.wait_cycles(2);
  peer.odom(1.0, 0.0, 0.0, 1.0);
  peer.wait_cycles(2);
  peer.odom(-2e6, 0.0, 0.0, 1.0);
  peer.wait_line("/diff_bot/odom dropped, implausible value: -2000000, 0, 0, 1");
  EXPECT_EQ(peer.count_lines("/diff_bot/odom dropped"), 2u);

  ASSERT_FALSE(peer.cmds.empty());
  for (const auto& c : peer.cmds) {
    for (double v : {c.linear.x, c.linear.y, c.linear.z, c.angular.x, c.angular.y, c.angular.z}) {
      EXPECT_TRUE(std::isfinite(v));
    }
  }
}

}  // namespace
