#pragma once

namespace docking_server {

// What a goal may ask for, and the server's parameters' ranges.
constexpr int kMaxAttempts = 100;
constexpr double kMinStagingDistance = 0.5;  // m: beyond a docked robot
constexpr double kMaxStagingDistance = 3.0;  // m: within the docking camera's range

}  // namespace docking_server
