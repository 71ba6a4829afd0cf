#include "docking_server/action_messages.hpp"

#include <algorithm>
#include <cmath>

namespace docking_server {

using align_request::EndReason;
using align_request::Progress;
using align_request::RunState;

static_assert(Undock::Result::NONE == Dock::Result::NONE &&
                  Undock::Result::PERCEPTION_FROZEN == Dock::Result::PERCEPTION_FROZEN &&
                  Undock::Result::BACKOFF_STOPPED == Dock::Result::BACKOFF_STOPPED &&
                  Undock::Result::CANCELED == Dock::Result::CANCELED,
              "an undock's error codes are a dock's");

uint16_t error_code(EndReason reason) {
  switch (reason) {
    case EndReason::kNone:
      return Dock::Result::NONE;
    case EndReason::kDockFailed:
      return Dock::Result::DOCK_FAILED;
    case EndReason::kPerceptionFrozen:
      return Dock::Result::PERCEPTION_FROZEN;
    case EndReason::kBackoffStopped:
      return Dock::Result::BACKOFF_STOPPED;
    case EndReason::kNoResult:
      return Dock::Result::NO_RESULT;
    case EndReason::kControllerUnavailable:
      return Dock::Result::CONTROLLER_UNAVAILABLE;
    case EndReason::kStationNotInView:
      return Dock::Result::STATION_NOT_IN_VIEW;
    case EndReason::kCanceled:
      break;
  }
  return Dock::Result::CANCELED;
}

namespace {

uint8_t feedback_state(RunState state) {
  switch (state) {
    case RunState::kBackingOff:
      return Dock::Feedback::BACKING_OFF;
    case RunState::kRetryCheck:
      return Dock::Feedback::RETRY_CHECK;
    case RunState::kStaging:
      return Dock::Feedback::STAGING;
    case RunState::kSearching:
      return Dock::Feedback::SEARCHING;
    case RunState::kDocking:
    case RunState::kUndocking:
      break;
  }
  return Dock::Feedback::DOCKING;
}

// The pose fields every message shares: false and zeros when the station is not in view.
template <typename Message>
void set_pose(Message& m, const std::optional<align_request::StationPose>& pose) {
  m.pose_known = pose.has_value();
  if (pose) {
    m.distance = static_cast<float>(pose->distance);
    m.lateral_offset = static_cast<float>(pose->lateral);
    m.heading = static_cast<float>(pose->heading);
  }
}

}  // namespace

Dock::Feedback dock_feedback(const Progress& progress, double elapsed) {
  Dock::Feedback f;
  f.attempt = static_cast<uint16_t>(progress.attempt);
  f.max_attempts = static_cast<uint16_t>(progress.max_attempts);
  f.state = feedback_state(progress.state);
  set_pose(f, progress.pose);
  const long long ns = std::llround(std::max(elapsed, 0.0) * 1e9);
  f.elapsed.sec = static_cast<int32_t>(ns / 1000000000);
  f.elapsed.nanosec = static_cast<uint32_t>(ns % 1000000000);
  return f;
}

Undock::Feedback undock_feedback(const Progress& progress) {
  Undock::Feedback f;
  f.distance = progress.pose ? static_cast<float>(progress.pose->distance) : -1.0f;
  return f;
}

Dock::Result dock_result(const align_request::RetrySupervisor& supervisor,
                         const std::optional<align_request::StationPose>& pose) {
  Dock::Result r;
  r.success = supervisor.end_reason() == EndReason::kNone;
  r.error_code = error_code(supervisor.end_reason());
  r.error_msg = r.success ? "" : supervisor.end_text();
  r.num_attempts = static_cast<uint16_t>(supervisor.attempts().size());
  set_pose(r, pose);
  return r;
}

Undock::Result undock_result(const align_request::RetrySupervisor& supervisor,
                             const std::optional<align_request::StationPose>& pose) {
  Undock::Result r;
  r.success = supervisor.end_reason() == EndReason::kNone;
  r.error_code = error_code(supervisor.end_reason());
  r.error_msg = r.success ? "" : supervisor.end_text();
  r.distance = pose ? static_cast<float>(pose->distance) : -1.0f;
  return r;
}

}  // namespace docking_server
