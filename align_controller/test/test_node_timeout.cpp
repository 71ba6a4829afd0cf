// The 45 s budget of a requested docking, counted in active cycles: this
// case runs in real time, about 46 s.
#include <gtest/gtest.h>

#include <cmath>

#include "docking_peer/docking_peer.hpp"

namespace {

TEST(NodeTimeout, TimesOutOnThe272ndCountedCycleAcrossCancelAndResume) {
  DockingPeer peer(80);
  peer.start_node();
  peer.request(1, 0, 0);
  peer.wait_pose({10.0, 10.0, -2.0});
  // Into step 2, which keeps reversing: the robot never reaches the axis.
  peer.robot_in_station(2.0, 0.3, std::atan2(0.3, 1.0));
  peer.wait_line("first angle adjust done");
  ASSERT_TRUE(peer.spin_until([&] { return peer.count_lines("step 2 ***********") >= 10; }, 10s));

  // Cancelled: cycles stop, the robot is not stopped, nothing is reported.
  peer.request(0, 0, 0);
  const size_t cancel = peer.wait_line("Align request callback: 0, 0, 0");
  peer.spin_for(1500ms);
  EXPECT_EQ(peer.count_lines("viehcle_pose_in_station_frame", cancel), 0u);
  ASSERT_FALSE(peer.cmds.empty());
  EXPECT_EQ(peer.cmds.back().linear.x, -0.1);
  EXPECT_TRUE(peer.results.empty());

  // Resumed at the same step, with the same count.
  peer.request(1, 0, 0);
  const size_t resume = peer.wait_line("Align request callback: 1, 0, 0", cancel);
  peer.wait_line("step 2 ***********", resume);
  EXPECT_EQ(peer.count_lines("step 1 ***********", resume), 0u);

  const size_t timeout = peer.wait_line("docking timeout ...time_speed: ", resume, 120s);
  std::vector<std::string> stop(6, "Publish the zero cmd");
  stop[0] = "[INFO] docking timeout ...time_speed: 271";
  peer.expect_lines(timeout, stop);
  EXPECT_EQ(peer.count_lines("viehcle_pose_in_station_frame"), 272u);

  // The robot is stopped before the failure is reported.
  ASSERT_TRUE(peer.spin_until([&] { return !peer.results.empty(); }, 5s));
  EXPECT_EQ(peer.results[0], make_align(1, 1, 0));
  EXPECT_EQ(peer.count_lines("Publish the zero cmd", timeout), 5u);
  ASSERT_TRUE(peer.spin_until([&] { return is_zero(peer.cmds.back()); }, 5s));
  const size_t end = peer.cmds.size();
  ASSERT_GE(end, 6u);
  for (size_t i = end - 5; i < end; ++i) EXPECT_TRUE(is_zero(peer.cmds[i]));
  EXPECT_EQ(peer.cmds[end - 6].linear.x, -0.1);

  // The end cleared the request.
  peer.spin_for(1s);
  EXPECT_EQ(peer.count_lines("viehcle_pose_in_station_frame"), 272u);
  EXPECT_EQ(peer.results.size(), 1u);
}

}  // namespace
