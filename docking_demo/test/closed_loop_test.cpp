// The closed loop: docking_sim, the real align_controller and align_request,
// each a separate process talking over DDS on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "closed_loop.hpp"
#include "docking_peer/docking_peer.hpp"

namespace {

using namespace std::chrono_literals;

// A noiseless camera keeps this test about the closed loop itself.
TEST_F(ClosedLoop, DocksFromTheDefaultStartPose) {
  const auto out = dock_on_one_of({130, 135, 136, 138}, kNoiselessCamera);
  if (!out) return;
  EXPECT_NE(out->find("docked: result (1, 1, 1)"), std::string::npos) << *out;
  EXPECT_NE(out->find("robot"), std::string::npos) << "no progress with the distance: " << *out;
  EXPECT_TRUE(controller_logged("docking finish!"));
  EXPECT_EQ(loop_->summary("ground_truth"), "docked") << loop_->summary_text();
}

// A faulty perception among the real one: bursts of absurd poses while the
// robot approaches in step 4 are dropped, the regulators stay sound, and the
// next attempt of the same controller runs all four steps.
TEST_F(ClosedLoop, AbsurdPosesInTheApproachLeaveTheControllerSound) {
  // The controller alone, held for both attempts; each attempt with a fresh simulator.
  auto& controller =
      start(137, {"--without", "docking_sim", "--supervisor", "sleep", "350", ";"}, {});
  const std::vector<std::string> ideal_camera = {
      "perception_latency:=0.0", "noise_xy:=0.0", "noise_theta:=0.0", "dropout:=0.0",
      "controller_log:=" + controller.dir() + "/align_controller.log"};
  auto one_attempt = supervised_by_align_request({"dock", "--attempts", "1", "--timeout", "150"});
  one_attempt.insert(one_attempt.begin(), {"--without", "align_controller"});
  // Index of the first controller line at or after from that contains text.
  auto controller_line = [&](const std::string& text, size_t from = 0) -> std::optional<size_t> {
    const auto lines = controller.log_lines("align_controller");
    for (size_t i = from; i < lines.size(); ++i) {
      if (lines[i].find(text) != std::string::npos) return i;
    }
    return std::nullopt;
  };
  auto first = std::make_unique<LoopRun>(137, one_attempt, ideal_camera);
  // Publishes the bursts and records every command on the wire.
  DockingPeer faulty(137);
  std::optional<size_t> step4;
  ASSERT_TRUE(
      faulty.spin_until([&] { return (step4 = controller_line("step 4 ***")).has_value(); }, 60s))
      << controller.log("align_controller");
  // Faster than the camera's 10 Hz, so that the controller mostly takes the
  // burst's pose; the real ones between the bursts end each run of drops.
  const double absurd[][3] = {{1.5e308, 1.5e308, -0.3}, {1.0, 0.0, 3e300}, {-1e200, 1e200, 0.1}};
  for (const auto& pose : absurd) {
    for (int i = 0; i < 25; ++i) {
      faulty.docking_pose(pose[0], pose[1], pose[2]);
      faulty.spin_for(20ms);
    }
    faulty.spin_for(500ms);
  }
  ASSERT_TRUE(faulty.spin_until([&] { return first->wait_exit(0ms).has_value(); }, 70s));
  const auto last_drop = controller_line("implausible value: -1e+200, 1e+200, 0.1", *step4);
  ASSERT_TRUE(controller_line("implausible value: 1.5e+308, 1.5e+308, -0.3", *step4));
  ASSERT_TRUE(controller_line("implausible value: 1, 0, 3e+300", *step4));
  ASSERT_TRUE(last_drop);
  ASSERT_TRUE(controller_line("Publish the zero cmd", *last_drop))
      << "the attempt ended before the last burst";
  EXPECT_GT(expect_bounded_regulators(controller.log_lines("align_controller"), *step4), 0u);

  // The next attempt, from the start pose again.
  first.reset();
  size_t at = controller.log_lines("align_controller").size();
  LoopRun second(137, one_attempt, ideal_camera);
  for (const char* step : {"step 1 ***", "step 2 ***", "step 3 ***", "step 4 ***"}) {
    std::optional<size_t> found;
    ASSERT_TRUE(
        faulty.spin_until([&] { return (found = controller_line(step, at)).has_value(); }, 60s))
        << step << " in\n"
        << controller.log("align_controller");
    at = *found;
  }
  // Two seconds of the approach are enough; the rest is the docking's own.
  ASSERT_TRUE(faulty.spin_until(
      [&] {
        const auto lines = controller.log_lines("align_controller");
        return std::count_if(lines.begin() + at, lines.end(), [](const std::string& l) {
                 return l.find("poseAlign, dxdydr") != std::string::npos;
               }) >= 12;
      },
      10s));
  EXPECT_GT(faulty.cmds.size(), 50u);
  expect_bounded_commands(faulty.cmds);
  expect_bounded_regulators(controller.log_lines("align_controller"));
  EXPECT_FALSE(controller_logged("non-finite command"));
}

// The supervisor's watchdog sees the pose stand while the controller turns the
// robot: the check it asks is refused, and the search finds no change either.
TEST_F(ClosedLoop, FrozenPerceptionDoesNotDockAndReportsFailure) {
  EXPECT_EQ(run(131, {"freeze_after:=0.0"}), 1) << output();
  EXPECT_NE(output().find("perception lost during attempt 1"), std::string::npos) << output();
  EXPECT_NE(output().find("perception frozen: the camera pose did not change turning"),
            std::string::npos)
      << output();
  EXPECT_FALSE(controller_logged("docking finish!"));
  EXPECT_GT(loop_->end().x, 0.5) << "the robot moved towards the station blind";
}

// Never a pose: the supervisor stops the attempt at once through the check,
// and with no heading to turn to there is no search.
TEST_F(ClosedLoop, StationOutOfViewStopsTheRobot) {
  // No base watchdog: only the programs can stop the robot here.
  EXPECT_EQ(run(132, {"visibility_range:=0.05", "cmd_timeout:=0.0"}), 1) << output();
  EXPECT_NE(output().find("perception lost during attempt 1"), std::string::npos) << output();
  EXPECT_NE(output().find("station not in view: no heading it was seen at"), std::string::npos)
      << output();
  EXPECT_TRUE(controller_logged("retry failed error code is 101100013"))
      << loop_->log("align_controller");
  // The simulator's trajectory ends with the last command and the wheels at rest.
  EXPECT_TRUE(at_rest(loop_->end()));
}

TEST_F(ClosedLoop, RetryIsRefusedOnAFrozenPoseAndUnansweredOnALiveOne) {
  EXPECT_EQ(run(133, {"freeze_after:=0.0"}, {"retry", "--timeout", "20"}), 1) << output();
  EXPECT_NE(output().find("retry refused: result (1, 1, 0)"), std::string::npos) << output();
  EXPECT_TRUE(controller_logged("retry failed error code is 101100013"));

  // Without dropouts every check sees a fresh, noisy pose.
  EXPECT_EQ(run(134, {"dropout:=0.0"}, {"retry", "--timeout", "3"}), 4) << output();
  EXPECT_NE(output().find("no result within 3 s: the retry check was not refused"),
            std::string::npos)
      << output();
}

}  // namespace
