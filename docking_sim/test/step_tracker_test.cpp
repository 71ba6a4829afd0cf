#include "docking_sim/step_tracker.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace docking_sim {
namespace {

TEST(PhaseFromLogLine, StepsAndFinish) {
  EXPECT_EQ(phase_from_log_line("  5 [INFO] step 1 ***********", 0), 1);
  EXPECT_EQ(phase_from_log_line(" 99 [INFO] step 4 ***********", 3), 4);
  EXPECT_EQ(phase_from_log_line("120 [INFO] docking finish! 0.2", 4), 5);
  EXPECT_EQ(phase_from_log_line(" 30 [INFO] Publish the Rush cmd", 5), 6);
  EXPECT_EQ(phase_from_log_line(" 51 [INFO] Rush after arrive station", 6), 6);
  EXPECT_EQ(phase_from_log_line("  7 [INFO] first angle adjust done 0.01, current angle: 0.3", 1),
            1);
  EXPECT_EQ(phase_from_log_line("  7 [INFO] step 9 ***********", 2), 2);
  EXPECT_EQ(phase_from_log_line("  8 [INFO] step 3", 2), 2);
  EXPECT_EQ(phase_from_log_line("", 2), 2);
}

TEST(PhaseFromLogLine, AttemptsEndingWithoutDocking) {
  EXPECT_EQ(phase_from_log_line(" 80 [WARN] docking failed ***********", 4), 7);
  EXPECT_EQ(phase_from_log_line("301 [INFO] docking timeout ...time_speed: 271", 2), 7);
  EXPECT_EQ(phase_from_log_line("  9 [ERROR] retry failed error code is 101100013", 0), 7);
  EXPECT_EQ(phase_from_log_line("310 [INFO] step 1 ***********", 7), 1);
}

TEST(StepTracker, FollowsAGrowingFileAcrossPartialLines) {
  const std::string path =
      ::testing::TempDir() + "step_tracker_" + std::to_string(::getpid()) + ".log";
  std::remove(path.c_str());
  StepTracker tracker(path);
  EXPECT_EQ(tracker.update(), 0);  // not created yet

  std::ofstream log(path);
  log << "  1 [INFO] viehcle_pose_in_station_frame:*1.5, 0.2, 0.1\n  2 [INFO] step 1 ****"
      << std::flush;
  EXPECT_EQ(tracker.update(), 0);
  log << "*******\n  3 [INFO] step 2 ***********\n" << std::flush;
  EXPECT_EQ(tracker.update(), 2);
  EXPECT_EQ(tracker.update(), 2);
  log << "  4 [INFO] docking finish! 0.2\n" << std::flush;
  EXPECT_EQ(tracker.update(), 5);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace docking_sim
