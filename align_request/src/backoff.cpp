#include "align_request/backoff.hpp"

#include <algorithm>
#include <cmath>

#include "text.hpp"

namespace align_request {

void Backoff::begin(double now, const Observations& seen, double target, double speed, double least,
                    const char* name, double view) {
  name_ = name;
  view_ = view;
  target_ = target;
  speed_ = speed;
  started_at_ = now;
  distance_start_ = seen.distance();
  limit_ = 2.0 * std::max(std::max(target - distance_start_, 0.0) / speed, least);
  odom_start_ = seen.have_odometry()
                    ? std::optional(std::make_pair(seen.odometry_x(), seen.odometry_y()))
                    : std::nullopt;
  out_.velocity(speed_, turn_rate(seen));
  next_command_at_ = now + kCommandPeriod;
}

std::optional<Backoff::Stop> Backoff::limit(double now, const Observations& seen) {
  std::optional<Stop> stop;
  const double still = now - std::max(seen.camera_changed_at(), started_at_ + kStartAllowance);
  if (still > kCameraStill) {
    stop = Stop{Limit::kCameraStill,
                text("%s stopped: the camera pose has not changed for %.1f s", name_, still)};
  } else if (travelled(seen) > target_ + kOdometrySlack) {
    stop =
        Stop{Limit::kOdometry, text("%s stopped: odometry shows %.2f m travelled, more than %.2f m",
                                    name_, travelled(seen), target_ + kOdometrySlack)};
  } else if (now - started_at_ > limit_) {
    stop = Stop{Limit::kTime, text("%s stopped: %.2f m from the station after %.1f s", name_,
                                   seen.distance(), now - started_at_)};
  }
  if (stop) {
    halt();
  }
  return stop;
}

bool Backoff::moving(const Observations& seen) const {
  return travelled(seen) >= kMoving || seen.distance() - distance_start_ >= kMoving;
}

bool Backoff::arrive(const Observations& seen) {
  if (seen.distance() < target_) {
    return false;
  }
  halt();
  return true;
}

void Backoff::drive(double now, const Observations& seen) {
  // A tick a little early still sends: the rate is the schedule's, not the ticks'.
  if (now + kCommandPeriod / 4 >= next_command_at_) {
    out_.velocity(speed_, turn_rate(seen));
    next_command_at_ = std::max(next_command_at_ + kCommandPeriod, now);
  }
}

void Backoff::halt() { out_.velocity(0.0, 0.0); }

double Backoff::turn_rate(const Observations& seen) const {
  // The robot's heading in the station's frame is -theta; 0 faces away from it.
  const double heading = -seen.heading();
  double aim = -std::atan(kAxisGain * seen.off_axis());
  if (view_ > 0.0) {
    // Far off the axis the aim would turn the station out of the rear camera's view.
    const double station = heading + seen.off_camera_axis();
    aim = std::clamp(aim, station - view_, station + view_);
  }
  const double w = -kHeadingGain * (heading - aim);
  return std::clamp(w, -kMaxTurnRate, kMaxTurnRate);
}

double Backoff::travelled(const Observations& seen) const {
  if (!odom_start_) {
    return 0.0;
  }
  return std::hypot(seen.odometry_x() - odom_start_->first,
                    seen.odometry_y() - odom_start_->second);
}

}  // namespace align_request
