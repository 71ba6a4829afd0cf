#pragma once

#include <optional>

#include "align_request/observations.hpp"
#include "align_request/supervisor_outputs.hpp"

namespace align_request {

// Turns the robot on the spot to find its station again after the camera lost
// it: towards the heading (by odometry) at which the camera saw it last, and
// at most kBeyond past it, one command every 0.1 s. Every end sends a zero
// command.
class SearchTurn {
 public:
  explicit SearchTurn(SupervisorOutputs& out) : out_(out) {}

  enum class Step { kTurning, kFound, kNotFound };

  // Starts the turn, its first command at once; false, with the robot
  // stopped, when there is nothing to turn to (no pose seen, no odometry).
  bool begin(double now, const Observations& seen);
  // Found once the camera pose has changed since the start (a stalled camera
  // repeats its pose); not found at the heading limit or past the time the
  // turn may take.
  Step step(double now, const Observations& seen);

  // rad the robot is to turn from the start, signed: positive to the left.
  double angle() const { return limit_ - start_yaw_; }
  double started_at() const { return started_at_; }

  static constexpr double kBeyond = 0.3;      // rad past the heading of the last sighting
  static constexpr double kMaxRate = 0.3;     // rad/s
  static constexpr double kMinRate = 0.05;    // rad/s, slowing down onto the limit
  static constexpr double kSlowGain = 2.0;    // rad/s per rad left
  static constexpr double kTolerance = 0.01;  // rad short of the limit: reached

 private:
  void command(double rate);

  SupervisorOutputs& out_;
  double started_at_ = 0.0;
  double start_yaw_ = 0.0;
  double limit_ = 0.0;      // rad, odometry's unwrapped yaw
  double direction_ = 1.0;  // +1 to the left, -1 to the right
  double deadline_ = 0.0;
  double next_command_at_ = 0.0;
};

}  // namespace align_request
