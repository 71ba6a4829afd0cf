#pragma once

#include <cstdint>
#include <optional>

#include "align_request/retry_supervisor.hpp"
#include "docking_server/actions.hpp"

namespace docking_server {

// The result's error code for why a run ended; Undock's codes are Dock's.
uint16_t error_code(align_request::EndReason reason);

// What a running goal reports; elapsed is the time since it was accepted (s).
Dock::Feedback dock_feedback(const align_request::Progress& progress, double elapsed);
Undock::Feedback undock_feedback(const align_request::Progress& progress);

// The result of a run that has finished; pose is where the camera sees the robot now.
Dock::Result dock_result(const align_request::RetrySupervisor& supervisor,
                         const std::optional<align_request::StationPose>& pose);
Undock::Result undock_result(const align_request::RetrySupervisor& supervisor,
                             const std::optional<align_request::StationPose>& pose);

}  // namespace docking_server
