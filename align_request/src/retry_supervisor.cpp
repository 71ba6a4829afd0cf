#include "align_request/retry_supervisor.hpp"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace align_request {

namespace {

std::string text(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string text(const char* format, ...) {
  char buf[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return buf;
}

}  // namespace

RetrySupervisor::RetrySupervisor(const Options& options, SupervisorOutputs& out)
    : options_(options), out_(out) {}

void RetrySupervisor::start(double now) {
  first_request_at_ = now;
  request_attempt(now);
}

void RetrySupervisor::camera(double now, double x, double y, double theta) {
  if (!have_camera_ || x != cam_x_ || y != cam_y_ || theta != cam_theta_) {
    camera_changed_at_ = now;
  }
  have_camera_ = true;
  cam_x_ = x;
  cam_y_ = y;
  cam_theta_ = theta;
  camera_at_ = now;
}

void RetrySupervisor::odometry(double x, double y) {
  have_odometry_ = true;
  odom_x_ = x;
  odom_y_ = y;
}

void RetrySupervisor::result(double now, int enable, int action, int success) {
  if (phase_ == Phase::kAttempt) {
    const bool docked = enable == 1 && action == 1 && success == 1;
    const bool failed = enable == 1 && action == 1 && success == 0;
    end_attempt(now, docked ? AttemptRecord::End::kDocked : AttemptRecord::End::kFailed);
    const Outcome outcome = interpret_result(Command::kDock, enable, action, success);
    out_.line(text("%s after %.1f s", outcome.text.c_str(), attempts_.back().duration));
    const int n = static_cast<int>(attempts_.size());
    if (docked) {
      finish(kExitDocked, text("docked at attempt %d of %d, %.1f s after the first request", n,
                               options_.attempts, now - first_request_at_));
    } else if (failed && n < options_.attempts) {
      begin_backoff(now);
    } else {
      // An unexpected result ends it too: the node is not doing what we think.
      finish(kExitFailed, text("not docked after %d attempt%s, %.1f s", n, n == 1 ? "" : "s",
                               now - first_request_at_));
    }
  } else if (phase_ == Phase::kBackoff) {
    // Between the attempts the node answers only a refused retry check.
    if (check_ == Check::kNotAsked) {
      stop_backoff(
          now, text("unexpected result (%d, %d, %d) while backing off", enable, action, success),
          "unexpected result");
    } else {
      check_ = Check::kAnswered;  // the refusal ended it in the node
      stop_backoff(now, "retry refused: perception is not updating (error code 101100013)",
                   "retry refused");
    }
  }
}

void RetrySupervisor::tick(double now) {
  if (phase_ == Phase::kAttempt) {
    if (now - attempt_at_ > options_.timeout) {
      end_attempt(now, AttemptRecord::End::kNoResult);
      out_.line(text("no result within %g s", options_.timeout));
      finish(kExitNoResult,
             text("no result at attempt %d of %d, %.1f s", static_cast<int>(attempts_.size()),
                  options_.attempts, now - first_request_at_));
    }
    return;
  }
  if (phase_ != Phase::kBackoff) {
    return;
  }
  const double still = now - std::max(camera_changed_at_, backoff_at_ + kStartAllowance);
  if (still > kCameraStill) {
    stop_backoff(now, text("back-off stopped: the camera pose has not changed for %.1f s", still),
                 "back-off stopped");
    return;
  }
  if (travelled() > options_.staging_distance + kOdometrySlack) {
    stop_backoff(now,
                 text("back-off stopped: odometry shows %.2f m travelled, more than %.2f m",
                      travelled(), options_.staging_distance + kOdometrySlack),
                 "back-off stopped");
    return;
  }
  const double distance = std::hypot(cam_x_, cam_y_);
  if (now - backoff_at_ > backoff_limit_) {
    stop_backoff(
        now,
        text("back-off stopped: %.2f m from the station after %.1f s", distance, now - backoff_at_),
        "back-off stopped");
    return;
  }
  // The check is asked only while the robot moves: a perfect camera on a robot
  // at rest repeats its pose, which the node rightly calls frozen.
  if (check_ == Check::kNotAsked &&
      (travelled() >= kMoving || distance - distance_start_ >= kMoving)) {
    out_.request(1, 2, 0);
    out_.line("retry check requested (1, 2, 0) while backing off");
    check_ = Check::kStanding;
    check_at_ = now;
  } else if (check_ == Check::kStanding && now - check_at_ >= kCheckWindow) {
    out_.request(0, 0, 0);
    out_.line("retry check not refused: perception is updating");
    check_ = Check::kAnswered;
    check_at_ = now;
  } else if (check_ == Check::kAnswered && now - check_at_ >= kCancelMargin &&
             distance >= options_.staging_distance) {
    out_.velocity(0.0, 0.0);
    out_.line(text("backed off to %.2f m in %.1f s", distance, now - backoff_at_));
    request_attempt(now);
    return;
  }
  // A tick a little early still sends: the rate is the schedule's, not the ticks'.
  if (now + kCommandPeriod / 4 >= next_command_at_) {
    out_.velocity(options_.backoff_speed, turn_rate());
    next_command_at_ = std::max(next_command_at_ + kCommandPeriod, now);
  }
}

void RetrySupervisor::interrupt(double now) {
  if (phase_ == Phase::kBackoff) {
    stop_backoff(now, "interrupted while backing off: robot stopped", "interrupted", kExitNoResult);
  } else if (phase_ != Phase::kFinished) {
    // The node's attempt keeps the robot: nothing goes on /cmd_vel.
    out_.line("interrupted: no result");
    finish(kExitNoResult,
           text("interrupted at attempt %d of %d, %.1f s", static_cast<int>(attempts_.size()) + 1,
                options_.attempts, now - first_request_at_));
  }
}

void RetrySupervisor::request_attempt(double now) {
  const int n = static_cast<int>(attempts_.size()) + 1;
  if (options_.attempts > 1) {
    const auto d = camera_distance(now);
    out_.line(d ? text("attempt %d of %d, from %.2f m", n, options_.attempts, *d)
                : text("attempt %d of %d", n, options_.attempts));
  }
  out_.request(1, 0, 0);
  out_.line("docking requested (1, 0, 0)");
  attempt_at_ = now;
  phase_ = Phase::kAttempt;
}

void RetrySupervisor::begin_backoff(double now) {
  const auto distance = camera_distance(now);
  if (!distance) {
    // The node's timeout end sends no stop; the robot may still be moving.
    out_.velocity(0.0, 0.0);
    out_.line(text("cannot back off: no camera pose in the last %.1f s", kCameraStill));
    finish(kExitFailed, text("not docked: no back-off after attempt %d, %.1f s",
                             static_cast<int>(attempts_.size()), now - first_request_at_));
    return;
  }
  const double to_go = std::max(options_.staging_distance - *distance, 0.0);
  // Even from beyond the staging distance the robot moves long enough for the check.
  const double least =
      kStartAllowance + kMoving / options_.backoff_speed + kCheckWindow + kCancelMargin;
  backoff_limit_ = 2.0 * std::max(to_go / options_.backoff_speed, least);
  out_.line(text("backing off from %.2f m to %.2f m at %.2f m/s", *distance,
                 options_.staging_distance, options_.backoff_speed));
  phase_ = Phase::kBackoff;
  backoff_at_ = now;
  distance_start_ = *distance;
  odom_start_ = have_odometry_ ? std::optional(std::make_pair(odom_x_, odom_y_)) : std::nullopt;
  check_ = Check::kNotAsked;
  out_.velocity(options_.backoff_speed, turn_rate());
  next_command_at_ = now + kCommandPeriod;
}

void RetrySupervisor::end_attempt(double now, AttemptRecord::End end) {
  attempts_.push_back({end, now - attempt_at_, standing(now)});
}

void RetrySupervisor::stop_backoff(double now, const std::string& why, const char* how,
                                   int status) {
  if (check_ == Check::kStanding) {
    out_.request(0, 0, 0);  // never left standing at rest
  }
  out_.velocity(0.0, 0.0);
  out_.line(why);
  finish(status, text("not docked: %s after attempt %d, %.1f s", how,
                      static_cast<int>(attempts_.size()), now - first_request_at_));
}

void RetrySupervisor::finish(int status, const std::string& how) {
  phase_ = Phase::kFinished;
  exit_status_ = status;
  if (options_.attempts > 1) {
    out_.line(how + ": " + history());
  }
}

std::optional<double> RetrySupervisor::camera_distance(double now) const {
  if (!have_camera_ || now - camera_at_ > kCameraStill) {
    return std::nullopt;
  }
  return std::hypot(cam_x_, cam_y_);
}

std::optional<Standing> RetrySupervisor::standing(double now) const {
  const auto distance = camera_distance(now);
  if (!distance) {
    return std::nullopt;
  }
  return Standing{*distance, std::abs(off_axis())};
}

double RetrySupervisor::off_axis() const {
  // y of the robot in the station's frame: the inverse of the station's pose.
  return std::sin(cam_theta_) * cam_x_ - std::cos(cam_theta_) * cam_y_;
}

double RetrySupervisor::turn_rate() const {
  // The robot's heading in the station's frame is -theta; 0 faces away from it.
  const double w = -kHeadingGain * (-cam_theta_ + std::atan(kAxisGain * off_axis()));
  return std::clamp(w, -kMaxTurnRate, kMaxTurnRate);
}

double RetrySupervisor::travelled() const {
  if (!odom_start_) {
    return 0.0;
  }
  return std::hypot(odom_x_ - odom_start_->first, odom_y_ - odom_start_->second);
}

std::string RetrySupervisor::history() const {
  std::string h;
  for (size_t i = 0; i < attempts_.size(); ++i) {
    const AttemptRecord& a = attempts_[i];
    const char* end = a.end == AttemptRecord::End::kDocked   ? "docked"
                      : a.end == AttemptRecord::End::kFailed ? "failed"
                                                             : "timed out";
    h += text("%s%zu %s after %.1f s", i == 0 ? "" : "; ", i + 1, end, a.duration);
    if (a.standing) {
      h += text(" at %.2f m, %.1f cm off the axis", a.standing->distance,
                a.standing->lateral * 100.0);
    }
  }
  return h;
}

}  // namespace align_request
