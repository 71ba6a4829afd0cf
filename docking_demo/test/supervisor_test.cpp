// The supervisor's retries in the closed loop: docking_sim, the real
// align_controller and align_request, each a separate process.
#include <gtest/gtest.h>

#include <signal.h>

#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "closed_loop.hpp"
#include "docking_peer/docking_peer.hpp"

namespace {

// From the negative side the controller's lateral term cannot turn the robot
// back onto the axis: the first attempt never docks.
const std::vector<std::string> kFailingStart = {"start_y:=-0.3"};

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The controller never drives the robot forward; the supervisor only does,
// when it backs off. Each back-off is one stretch of forward commands, at most
// 0.1 m/s and 0.2 rad/s; returns the distances from the station at which they
// ended.
std::vector<double> backoffs(const std::vector<Row>& rows) {
  std::vector<double> ends;
  for (size_t i = 1; i < rows.size(); ++i) {
    const Row& r = rows[i];
    if (r.cmd_v > 0.0) {
      EXPECT_LE(r.cmd_v, 0.1 + 1e-9) << "at " << r.t;
      EXPECT_LE(std::abs(r.cmd_w), 0.2 + 1e-9) << "at " << r.t;
      if (rows[i - 1].cmd_v <= 0.0) ends.push_back(0.0);
      ends.back() = std::hypot(r.x, r.y);
    }
  }
  return ends;
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Like the first attempt, the later ones dock only in some runs, and a loaded
// machine can stall the camera long enough to stop a back-off: a run that does
// not dock is retried afresh on the next domain.
TEST_F(ClosedLoop, FailedAttemptIsFollowedByBackoffAndALaterOneDocks) {
  std::string failures;
  for (int domain : {105, 106, 107}) {
    const int status = run(domain, with(kFailingStart, {"seed:=" + std::to_string(domain)}),
                           {"dock", "--timeout", "150", "--attempts", "3"});
    const std::string out = output();
    const auto rows = loop_->rows();
    ASSERT_NE(out.find("docking failed: result (1, 1, 0)"), std::string::npos) << out;
    // Forward only in the back-offs, none while an attempt runs.
    const auto ends = backoffs(rows);
    EXPECT_EQ(ends.size(), count(out, "backing off from")) << out;
    if (status == 0) {
      EXPECT_NE(out.find("retry check not refused: perception is updating"), std::string::npos)
          << out;
      EXPECT_NE(out.find("attempt 2 of 3, from 1.5"), std::string::npos) << out;
      EXPECT_NE(out.find("docked at attempt "), std::string::npos) << out;
      for (double end : ends) {
        EXPECT_GT(end, 1.45) << "the back-off fell short of the staging distance";
        EXPECT_LT(end, 1.6);
      }
      EXPECT_LT(std::abs(rows.back().y), 0.04);
      return;
    }
    std::cout << "run on domain " << domain << " did not dock:\n" << out;
    failures += "domain " + std::to_string(domain) + ":\n" + out;
  }
  ADD_FAILURE() << "no later attempt docked in three runs:\n" << failures;
}

TEST_F(ClosedLoop, PerceptionFrozenDuringAnAttemptRefusesTheRetry) {
  // The camera freezes near the station, before the attempt's timeout; no
  // base watchdog, so only the programs stop the robot.
  EXPECT_EQ(run(108, with(kFailingStart, {"freeze_after:=35.0", "cmd_timeout:=0.0"})), 1)
      << output();
  const std::string out = output();
  EXPECT_NE(out.find("retry refused: perception is not updating (error code 101100013)"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("attempt 2 of 3"), std::string::npos) << out;
  EXPECT_TRUE(controller_logged("retry failed error code is 101100013"));
  EXPECT_TRUE(at_rest(loop_->end()));
}

TEST_F(ClosedLoop, InterruptedBackoffStopsTheRobot) {
  auto& loop =
      start(109, supervised_by_align_request({"dock"}), with(kFailingStart, {"cmd_timeout:=0.0"}));
  DockingPeer peer(109);  // sees every command on /cmd_vel
  ASSERT_TRUE(peer.spin_until(
      [&] { return output().find("retry check requested (1, 2, 0)") != std::string::npos; }, 120s))
      << output();
  ASSERT_GT(peer.cmds.back().linear.x, 0.0) << "not backing off";
  ASSERT_EQ(kill(loop.pid("align_request"), SIGINT), 0);
  // The runner ends with the supervisor's status, once it has stopped the others too.
  std::optional<int> status;
  ASSERT_TRUE(peer.spin_until([&] { return (status = loop.wait_exit(0ms)).has_value(); }, 20s));
  EXPECT_EQ(*status, 2);
  EXPECT_NE(output().find("interrupted while backing off: robot stopped"), std::string::npos)
      << output();
  const Twist& last = peer.cmds.back();
  EXPECT_EQ(last.linear.x, 0.0);
  EXPECT_EQ(last.angular.z, 0.0);
  // The retry check was withdrawn with the stop, so the node refuses nothing.
  EXPECT_TRUE(controller_logged("Align request callback: 0, 0, 0"));
  EXPECT_FALSE(controller_logged("retry failed error code"));
  EXPECT_TRUE(at_rest(loop.end()));
}

}  // namespace
