// What the actions carry, from the supervisor's state.
#include "docking_server/action_messages.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace docking_server {
namespace {

using align_request::EndReason;
using align_request::Progress;
using align_request::RunState;
using align_request::StationPose;

TEST(ActionMessages, EveryEndReasonHasItsOwnErrorCode) {
  const std::pair<EndReason, uint16_t> expected[] = {
      {EndReason::kNone, Dock::Result::NONE},
      {EndReason::kDockFailed, Dock::Result::DOCK_FAILED},
      {EndReason::kPerceptionFrozen, Dock::Result::PERCEPTION_FROZEN},
      {EndReason::kBackoffStopped, Dock::Result::BACKOFF_STOPPED},
      {EndReason::kNoResult, Dock::Result::NO_RESULT},
      {EndReason::kControllerUnavailable, Dock::Result::CONTROLLER_UNAVAILABLE},
      {EndReason::kCanceled, Dock::Result::CANCELED},
      {EndReason::kStationNotInView, Dock::Result::STATION_NOT_IN_VIEW},
  };
  std::set<uint16_t> codes;
  for (const auto& [reason, code] : expected) {
    EXPECT_EQ(error_code(reason), code) << static_cast<int>(reason);
    codes.insert(error_code(reason));
  }
  EXPECT_EQ(codes.size(), std::size(expected));
}

TEST(ActionMessages, FeedbackCarriesStateAttemptPoseAndElapsedTime) {
  const std::pair<RunState, uint8_t> states[] = {
      {RunState::kDocking, Dock::Feedback::DOCKING},
      {RunState::kBackingOff, Dock::Feedback::BACKING_OFF},
      {RunState::kRetryCheck, Dock::Feedback::RETRY_CHECK},
      {RunState::kStaging, Dock::Feedback::STAGING},
      {RunState::kSearching, Dock::Feedback::SEARCHING},
  };
  for (const auto& [state, expected] : states) {
    EXPECT_EQ(dock_feedback({state, 2, 3, std::nullopt}, 0.0).state, expected);
  }
  const Dock::Feedback f =
      dock_feedback({RunState::kBackingOff, 2, 3, StationPose{0.8, -0.03, 0.1}}, 61.25);
  EXPECT_EQ(f.attempt, 2);
  EXPECT_EQ(f.max_attempts, 3);
  EXPECT_TRUE(f.pose_known);
  EXPECT_FLOAT_EQ(f.distance, 0.8f);
  EXPECT_FLOAT_EQ(f.lateral_offset, -0.03f);
  EXPECT_FLOAT_EQ(f.heading, 0.1f);
  EXPECT_EQ(f.elapsed.sec, 61);
  EXPECT_EQ(f.elapsed.nanosec, 250000000u);
  // Nanoseconds never reach a whole second.
  const Dock::Feedback late = dock_feedback({RunState::kDocking, 1, 3, std::nullopt}, 2.9999999999);
  EXPECT_EQ(late.elapsed.sec, 3);
  EXPECT_EQ(late.elapsed.nanosec, 0u);
  EXPECT_FALSE(late.pose_known);
  EXPECT_EQ(late.distance, 0.0f);

  EXPECT_FLOAT_EQ(undock_feedback({RunState::kUndocking, 0, 0, StationPose{1.2, 0, 0}}).distance,
                  1.2f);
  EXPECT_LT(undock_feedback({RunState::kUndocking, 0, 0, std::nullopt}).distance, 0.0f);
}

// Records nothing: the results are read from the supervisor's state.
class Quiet : public align_request::SupervisorOutputs {
  void request(int, int, int) override {}
  void velocity(double, double) override {}
  void line(const std::string&) override {}
};

TEST(ActionMessages, ResultsSayHowTheRunEnded) {
  Quiet quiet;
  align_request::RetrySupervisor sup({}, quiet);
  sup.controller(true);
  sup.camera(0.0, -0.2, 0.0, 0.0);
  sup.dock(0.0, {3, 1.5, 5.0});
  sup.result(10.0, 1, 1, 1);
  const Dock::Result docked = dock_result(sup, StationPose{0.2, 0.004, -0.01});
  EXPECT_TRUE(docked.success);
  EXPECT_EQ(docked.error_code, Dock::Result::NONE);
  EXPECT_EQ(docked.error_msg, "");
  EXPECT_EQ(docked.num_attempts, 1);
  EXPECT_TRUE(docked.pose_known);
  EXPECT_FLOAT_EQ(docked.lateral_offset, 0.004f);

  sup.dock(20.0, {1, 1.5, 5.0});
  sup.result(30.0, 1, 1, 0);
  const Dock::Result failed = dock_result(sup, std::nullopt);
  EXPECT_FALSE(failed.success);
  EXPECT_EQ(failed.error_code, Dock::Result::DOCK_FAILED);
  EXPECT_NE(failed.error_msg.find("docking failed: result (1, 1, 0)"), std::string::npos)
      << failed.error_msg;
  EXPECT_FALSE(failed.pose_known);

  sup.undock(40.0, 1.5);  // the last pose is 30 s old
  const Undock::Result blind = undock_result(sup, std::nullopt);
  EXPECT_FALSE(blind.success);
  EXPECT_EQ(blind.error_code, Undock::Result::BACKOFF_STOPPED);
  EXPECT_LT(blind.distance, 0.0f);
  EXPECT_NE(blind.error_msg.find("no camera pose"), std::string::npos) << blind.error_msg;
}

}  // namespace
}  // namespace docking_server
