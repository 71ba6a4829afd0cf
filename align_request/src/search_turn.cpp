#include "align_request/search_turn.hpp"

#include <algorithm>
#include <cmath>

#include "align_request/backoff.hpp"

namespace align_request {

bool SearchTurn::begin(double now, const Observations& seen) {
  const auto seen_at = seen.yaw_seen();
  if (!seen_at || !seen.have_odometry()) {
    out_.velocity(0.0, 0.0);
    return false;
  }
  started_at_ = now;
  start_yaw_ = seen.odometry_yaw();
  // Back the way the robot turned away; straight on, to the left.
  direction_ = *seen_at < start_yaw_ ? -1.0 : 1.0;
  limit_ = *seen_at + direction_ * kBeyond;
  // At the full rate, with a second for the base to start and twice that for slowing down.
  deadline_ = now + 1.0 + 2.0 * std::abs(angle()) / kMaxRate;
  next_command_at_ = now;
  step(now, seen);
  return true;
}

SearchTurn::Step SearchTurn::step(double now, const Observations& seen) {
  if (seen.camera_changed_at() > started_at_) {
    command(0.0);
    return Step::kFound;
  }
  const double left = direction_ * (limit_ - seen.odometry_yaw());
  if (left <= kTolerance || now > deadline_) {
    command(0.0);
    return Step::kNotFound;
  }
  // A tick a little early still sends: the rate is the schedule's, not the ticks'.
  if (now + Backoff::kCommandPeriod / 4 >= next_command_at_) {
    command(direction_ * std::clamp(kSlowGain * left, kMinRate, kMaxRate));
    next_command_at_ = std::max(next_command_at_ + Backoff::kCommandPeriod, now);
  }
  return Step::kTurning;
}

void SearchTurn::command(double rate) { out_.velocity(0.0, rate); }

}  // namespace align_request
