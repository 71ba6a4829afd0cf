#include "align_request/retry_supervisor.hpp"

#include <algorithm>
#include <cmath>

#include "text.hpp"

namespace align_request {

namespace {

// A drive stopped by a still camera has lost perception; by its other bounds, the drive.
EndReason reason_of(const Backoff::Stop& stop) {
  return stop.limit == Backoff::Limit::kCameraStill ? EndReason::kPerceptionFrozen
                                                    : EndReason::kBackoffStopped;
}

}  // namespace

RetrySupervisor::RetrySupervisor(const Options& options, SupervisorOutputs& out)
    : options_(options), out_(out), backoff_(out), search_(out) {}

void RetrySupervisor::start(double now) {
  begin_run(now, options_.attempts, options_.staging_distance, false);
  first_attempt(now);
}

void RetrySupervisor::dock(double now, const DockRun& run) {
  begin_run(now, run.attempts, run.staging_distance, true);
  controller_timeout_ = run.controller_timeout;
  if (controller_) {
    first_attempt(now);
  } else {
    out_.line("waiting for align_controller");
    phase_ = Phase::kWaiting;
  }
}

void RetrySupervisor::undock(double now, double staging_distance) {
  begin_run(now, 0, staging_distance, true);
  stopped_in_ = RunState::kUndocking;
  const auto from = seen_.camera_distance(now);
  if (!from) {
    backoff_.halt();
    const std::string why =
        text("cannot undock: no camera pose in the last %.1f s", Observations::kFresh);
    out_.line(why);
    finish(kExitFailed, EndReason::kBackoffStopped, "not undocked", why);
  } else if (*from >= staging_distance) {
    backoff_.halt();
    const std::string how = text("undocked: already %.2f m from the station", *from);
    out_.line(how);
    finish(kExitDocked, EndReason::kNone, how);
  } else {
    out_.line(text("undocking from %.2f m to %.2f m at %.2f m/s", *from, staging_distance,
                   options_.backoff_speed));
    phase_ = Phase::kUndock;
    backoff_.begin(now, seen_, staging_distance, options_.backoff_speed, Backoff::kStartAllowance,
                   "undock");
  }
}

void RetrySupervisor::camera(double now, double x, double y, double theta) {
  seen_.camera(now, x, y, theta);
}

void RetrySupervisor::odometry(double now, double x, double y, double yaw) {
  seen_.odometry(now, x, y, yaw);
}

void RetrySupervisor::result(double now, int enable, int action, int success) {
  if (phase_ == Phase::kAttempt) {
    const bool docked = enable == 1 && action == 1 && success == 1;
    const bool failed = enable == 1 && action == 1 && success == 0;
    if (failed && check_ == Check::kStanding) {
      perception_lost(now);
      return;
    }
    if (check_ == Check::kStanding) {
      // Whatever the node answered, our check leaves with the stop it held.
      out_.request(0, 0, 0);
      backoff_.halt();
    }
    end_attempt(now, docked ? AttemptRecord::End::kDocked : AttemptRecord::End::kFailed);
    const Outcome outcome = interpret_result(Command::kDock, enable, action, success);
    const std::string said =
        text("%s after %.1f s", outcome.text.c_str(), attempts_.back().duration);
    out_.line(said);
    const int n = static_cast<int>(attempts_.size());
    if (failed && n < max_attempts_) {
      after_attempt(now, false);
      return;
    }
    if (stop_at_end_) {
      backoff_.halt();
    }
    if (docked) {
      finish(kExitDocked, EndReason::kNone,
             text("docked at attempt %d of %d, %.1f s after the first request", n, max_attempts_,
                  now - first_request_at_));
    } else {
      // An unexpected result ends it too: the node is not doing what we think.
      finish(kExitFailed, EndReason::kDockFailed,
             text("not docked after %d attempt%s, %.1f s", n, n == 1 ? "" : "s",
                  now - first_request_at_),
             said);
    }
  } else if (phase_ == Phase::kStage) {
    // Nothing was asked of the node yet: it is not doing what we think.
    backoff_.halt();
    const std::string why = text("unexpected result (%d, %d, %d) while staging: robot stopped",
                                 enable, action, success);
    out_.line(why);
    finish(kExitFailed, EndReason::kDockFailed,
           text("not docked: unexpected result before attempt 1, %.1f s", now - first_request_at_),
           why);
  } else if (phase_ == Phase::kBackoff) {
    // Between the attempts the node answers only a refused retry check.
    if (check_ == Check::kNotAsked) {
      stop_backoff(
          now, text("unexpected result (%d, %d, %d) while backing off", enable, action, success),
          "unexpected result", EndReason::kDockFailed);
    } else {
      check_ = Check::kAnswered;  // the refusal ended it in the node
      stop_backoff(now, "retry refused: perception is not updating (error code 101100013)",
                   "retry refused", EndReason::kPerceptionFrozen);
    }
  }
}

void RetrySupervisor::tick(double now) {
  switch (phase_) {
    case Phase::kWaiting:
      if (controller_) {
        first_attempt(now);
      } else if (now - first_request_at_ >= controller_timeout_) {
        const std::string why = text(
            "no align_controller discovered within %g s: nothing reads /align_request "
            "and publishes /align_result",
            controller_timeout_);
        out_.line(why);
        backoff_.halt();
        finish(kExitNoResult, EndReason::kControllerUnavailable, "not docked", why);
      }
      break;
    case Phase::kAttempt:
      if (now - attempt_at_ > options_.timeout) {
        end_attempt(now, AttemptRecord::End::kNoResult);
        const std::string why = text("no result within %g s", options_.timeout);
        out_.line(why);
        const std::string how =
            text("no result at attempt %d of %d, %.1f s", static_cast<int>(attempts_.size()),
                 max_attempts_, now - first_request_at_);
        if (stop_at_end_ || check_ == Check::kStanding) {
          // The attempt may still run: paused, and the robot stopped.
          stop_run(now, EndReason::kNoResult, kExitNoResult, why + "; " + how);
        } else {
          finish(kExitNoResult, EndReason::kNoResult, how, why);
        }
      } else {
        watch(now);
      }
      break;
    case Phase::kStageLook:
      if (seen_.camera_distance(now)) {
        judge_start(now);
      } else if (now - stage_at_ >= kStageLook) {
        out_.line(
            text("stage first: no camera pose within %.1f s: attempt 1 from where the "
                 "robot stands",
                 kStageLook));
        request_attempt(now);
      }
      break;
    case Phase::kStage:
      tick_stage(now);
      break;
    case Phase::kBackoff:
      tick_backoff(now);
      break;
    case Phase::kSearch:
      tick_search(now);
      break;
    case Phase::kUndock:
      tick_undock(now);
      break;
    case Phase::kStopping:
      if (now >= stop_until_) {
        backoff_.halt();
        finish(stop_status_, stop_reason_, stop_how_);
      } else if (now + Backoff::kCommandPeriod / 4 >= next_zero_at_) {
        backoff_.halt();
        next_zero_at_ += Backoff::kCommandPeriod;
      }
      break;
    case Phase::kIdle:
    case Phase::kFinished:
      break;
  }
}

void RetrySupervisor::watch(double now) {
  const int n = static_cast<int>(attempts_.size()) + 1;
  if (check_ == Check::kNotAsked) {
    const double still = seen_.camera_still(now);
    if (still < options_.perception_timeout) {
      return;
    }
    // The check pauses the attempt; the robot is stopped at once, not when its
    // base's command watchdog runs out.
    out_.request(1, 2, 0);
    backoff_.halt();
    out_.line(
        text("camera pose unchanged for %.1f s during attempt %d: robot stopped, retry "
             "check requested (1, 2, 0)",
             still, n));
    check_ = Check::kStanding;
    check_at_ = now;
    next_zero_at_ = now + Backoff::kCommandPeriod;
  } else if (now - check_at_ >= kWatchCheck && seen_.camera_changed_at() > check_at_) {
    out_.request(1, 0, 0);
    out_.line(
        text("retry check not refused: perception is updating; attempt %d resumed (1, 0, 0)", n));
    check_ = Check::kNotAsked;
  } else if (now + Backoff::kCommandPeriod / 4 >= next_zero_at_) {
    // The node may still send the command of the cycle it was in.
    backoff_.halt();
    next_zero_at_ += Backoff::kCommandPeriod;
  }
}

void RetrySupervisor::perception_lost(double now) {
  check_ = Check::kAnswered;  // the refusal ended the attempt in the node
  backoff_.halt();
  end_attempt(now, AttemptRecord::End::kLost);
  const int n = static_cast<int>(attempts_.size());
  const std::string why =
      text("perception lost during attempt %d: the station has not been seen for %.1f s", n,
           now - seen_.camera_changed_at());
  out_.line(why);
  if (n < max_attempts_) {
    after_attempt(now, true);
    return;
  }
  finish(
      kExitFailed, EndReason::kPerceptionFrozen,
      text("not docked after %d attempt%s, %.1f s", n, n == 1 ? "" : "s", now - first_request_at_),
      why);
}

void RetrySupervisor::after_attempt(double now, bool lost) {
  // After a loss the camera must show a change since the check: a stalled one
  // still publishes, and a back-off on it would drive blind.
  if (seen_.camera_distance(now) && (!lost || seen_.camera_changed_at() > check_at_)) {
    begin_backoff(now, !lost);
    return;
  }
  phase_ = Phase::kSearch;
  check_ = Check::kNotAsked;
  if (!search_.begin(now, seen_)) {
    not_in_view(now, "station not in view: no heading it was seen at to turn to");
    return;
  }
  out_.line(text("station out of view: turning %s up to %.2f rad to find it",
                 search_.angle() > 0.0 ? "left" : "right", std::abs(search_.angle())));
}

void RetrySupervisor::tick_search(double now) {
  switch (search_.step(now, seen_)) {
    case SearchTurn::Step::kTurning:
      return;
    case SearchTurn::Step::kFound:
      out_.line(text("station in view again after turning %.1f s", now - search_.started_at()));
      begin_backoff(now, false);
      return;
    case SearchTurn::Step::kNotFound:
      if (seen_.camera_distance(now)) {
        // A pose that came all the while and never changed: the camera has stalled.
        const std::string why =
            text("perception frozen: the camera pose did not change turning %.2f rad in %.1f s",
                 std::abs(search_.angle()), now - search_.started_at());
        out_.line(why);
        finish(kExitFailed, EndReason::kPerceptionFrozen,
               text("not docked: perception frozen after attempt %d, %.1f s",
                    static_cast<int>(attempts_.size()), now - first_request_at_),
               why);
        return;
      }
      not_in_view(now, text("station not in view: not found turning %.2f rad in %.1f s",
                            std::abs(search_.angle()), now - search_.started_at()));
      return;
  }
}

void RetrySupervisor::not_in_view(double now, const std::string& why) {
  const int n = static_cast<int>(attempts_.size());
  out_.line(why);
  finish(
      kExitFailed, EndReason::kStationNotInView,
      text("not docked: station not in view after attempt %d, %.1f s", n, now - first_request_at_),
      why);
}

void RetrySupervisor::tick_backoff(double now) {
  if (const auto stop = backoff_.limit(now, seen_)) {
    stop_backoff(now, stop->text, "back-off stopped", reason_of(*stop), kExitFailed, true);
    return;
  }
  // The check is asked only while the robot moves: a perfect camera on a robot
  // at rest repeats its pose, which the node rightly calls frozen.
  if (check_ == Check::kNotAsked && backoff_.moving(seen_)) {
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
             backoff_.arrive(seen_)) {
    out_.line(
        text("backed off to %.2f m in %.1f s", seen_.distance(), now - backoff_.started_at()));
    request_attempt(now);
    return;
  }
  backoff_.drive(now, seen_);
}

void RetrySupervisor::tick_undock(double now) {
  if (const auto stop = backoff_.limit(now, seen_)) {
    out_.line(stop->text);
    finish(kExitFailed, reason_of(*stop),
           text("not undocked after %.1f s", now - first_request_at_), stop->text);
  } else if (backoff_.arrive(seen_)) {
    const std::string how =
        text("undocked to %.2f m in %.1f s", seen_.distance(), now - first_request_at_);
    out_.line(how);
    finish(kExitDocked, EndReason::kNone, how);
  } else {
    backoff_.drive(now, seen_);
  }
}

void RetrySupervisor::interrupt(double now) {
  if (stop_at_end_) {
    cancel(now);
  } else if (phase_ == Phase::kBackoff || phase_ == Phase::kSearch || phase_ == Phase::kStage) {
    stop_backoff(now,
                 phase_ == Phase::kBackoff  ? "interrupted while backing off: robot stopped"
                 : phase_ == Phase::kSearch ? "interrupted while searching: robot stopped"
                                            : "interrupted while staging: robot stopped",
                 "interrupted", EndReason::kCanceled, kExitNoResult);
  } else if (phase_ == Phase::kAttempt && check_ == Check::kStanding) {
    // Our check holds the attempt: nothing is left standing.
    out_.request(0, 0, 0);
    backoff_.halt();
    out_.line("interrupted during the retry check: attempt paused (0, 0, 0), robot stopped");
    finish(kExitNoResult, EndReason::kCanceled,
           text("interrupted at attempt %d of %d, %.1f s", static_cast<int>(attempts_.size()) + 1,
                max_attempts_, now - first_request_at_));
  } else if (phase_ != Phase::kFinished) {
    // The node's attempt keeps the robot: nothing goes on /cmd_vel.
    out_.line("interrupted: no result");
    finish(kExitNoResult, EndReason::kCanceled,
           text("interrupted at attempt %d of %d, %.1f s", static_cast<int>(attempts_.size()) + 1,
                max_attempts_, now - first_request_at_));
  }
}

void RetrySupervisor::cancel(double now) {
  const int n = static_cast<int>(attempts_.size()) + (phase_ == Phase::kAttempt ? 1 : 0);
  std::string how =
      text("canceled at attempt %d of %d, %.1f s", n, max_attempts_, now - first_request_at_);
  switch (phase_) {
    case Phase::kIdle:
    case Phase::kStopping:
    case Phase::kFinished:
      return;
    case Phase::kWaiting:
      out_.line("canceled while waiting for align_controller");
      break;
    case Phase::kStageLook:
    case Phase::kStage:
      out_.line("canceled while staging: robot stopped");
      break;
    case Phase::kAttempt:
      end_attempt(now, AttemptRecord::End::kCanceled);
      out_.line("canceled: attempt paused (0, 0, 0), robot stopped");
      break;
    case Phase::kBackoff:
      out_.line("canceled while backing off: robot stopped");
      break;
    case Phase::kSearch:
      out_.line("canceled while searching: robot stopped");
      break;
    case Phase::kUndock:
      out_.line("canceled while undocking: robot stopped");
      how = text("undock canceled after %.1f s", now - first_request_at_);
      break;
  }
  stop_run(now, EndReason::kCanceled, kExitNoResult, how);
}

Progress RetrySupervisor::progress(double now) const {
  const int n = static_cast<int>(attempts_.size());
  return {state(), phase_ == Phase::kAttempt ? n + 1 : n, max_attempts_, seen_.station(now)};
}

void RetrySupervisor::begin_run(double now, int attempts, double staging_distance,
                                bool stop_at_end) {
  max_attempts_ = attempts;
  staging_distance_ = staging_distance;
  stop_at_end_ = stop_at_end;
  exit_status_ = 0;
  end_reason_ = EndReason::kNone;
  end_text_.clear();
  attempts_.clear();
  first_request_at_ = now;
  check_ = Check::kNotAsked;
  stopped_in_ = RunState::kDocking;
}

void RetrySupervisor::first_attempt(double now) {
  if (!options_.stage_first) {
    request_attempt(now);
    return;
  }
  stage_at_ = now;
  phase_ = Phase::kStageLook;
  if (seen_.camera_distance(now)) {
    judge_start(now);
  }
}

void RetrySupervisor::judge_start(double now) {
  const double distance = seen_.distance();
  const double off_axis = seen_.off_axis();
  const bool closer = distance < staging_distance_ - kStageCloser;
  const bool off = std::abs(off_axis) > kStageOffAxis;
  const std::string where =
      text("%.2f m from the station, %.2f m off the axis", distance, off_axis);
  if (!closer && !off) {
    out_.line("stage first: not needed, " + where);
    request_attempt(now);
    return;
  }
  const double target =
      off ? std::max(staging_distance_, std::min(distance, staging_distance_) + kStageRun)
          : staging_distance_;
  if (target - distance < kStageMinRun) {
    out_.line(text("stage first: %s, too far out to stage; attempt 1 from here", where.c_str()));
    request_attempt(now);
    return;
  }
  out_.line(text("stage first: %s: staging on the axis at %.2f m, at %.2f m/s", where.c_str(),
                 target, options_.backoff_speed));
  phase_ = Phase::kStage;
  stage_at_ = now;
  backoff_.begin(now, seen_, target, options_.backoff_speed, Backoff::kStartAllowance, "staging",
                 kStageView);
}

void RetrySupervisor::tick_stage(double now) {
  if (const auto stop = backoff_.limit(now, seen_)) {
    // Driven blind or beyond its bounds: no attempt from an unknown pose.
    out_.line(stop->text);
    finish(kExitFailed, reason_of(*stop),
           text("not docked: staging stopped before attempt 1, %.1f s", now - first_request_at_),
           stop->text);
  } else if (backoff_.arrive(seen_)) {
    out_.line(text("staged at %.2f m, %.2f m off the axis, in %.1f s", seen_.distance(),
                   seen_.off_axis(), now - stage_at_));
    request_attempt(now);
  } else {
    backoff_.drive(now, seen_);
  }
}

void RetrySupervisor::request_attempt(double now) {
  const int n = static_cast<int>(attempts_.size()) + 1;
  if (max_attempts_ > 1) {
    const auto d = seen_.camera_distance(now);
    out_.line(d ? text("attempt %d of %d, from %.2f m", n, max_attempts_, *d)
                : text("attempt %d of %d", n, max_attempts_));
  }
  out_.request(1, 0, 0);
  out_.line("docking requested (1, 0, 0)");
  check_ = Check::kNotAsked;
  attempt_at_ = now;
  phase_ = Phase::kAttempt;
}

// With the station in view.
void RetrySupervisor::begin_backoff(double now, bool check) {
  const double distance = seen_.distance();
  // Even from beyond the staging distance the robot moves long enough for the check.
  const double least = Backoff::kStartAllowance + Backoff::kMoving / options_.backoff_speed +
                       kCheckWindow + kCancelMargin;
  out_.line(text("backing off from %.2f m to %.2f m at %.2f m/s", distance, staging_distance_,
                 options_.backoff_speed));
  phase_ = Phase::kBackoff;
  check_ = Check::kNotAsked;
  if (!check) {
    // After a loss the node's pose history holds the placeholder poses of the
    // silence: it would refuse any check at once. The changed pose that brought
    // us here shows perception alive, and the back-off's own bound watches it.
    out_.line("no retry check: perception lost before, the camera pose has changed since");
    check_ = Check::kAnswered;
    check_at_ = now;
  }
  backoff_.begin(now, seen_, staging_distance_, options_.backoff_speed, least, "back-off");
}

void RetrySupervisor::end_attempt(double now, AttemptRecord::End end) {
  attempts_.push_back({end, now - attempt_at_, standing(now)});
}

void RetrySupervisor::stop_backoff(double now, const std::string& why, const char* how,
                                   EndReason reason, int status, bool stopped) {
  if (check_ == Check::kStanding) {
    out_.request(0, 0, 0);  // never left standing at rest
  }
  if (!stopped) {
    backoff_.halt();
  }
  out_.line(why);
  const int n = static_cast<int>(attempts_.size());
  finish(status, reason,
         n == 0 ? text("not docked: %s before attempt 1, %.1f s", how, now - first_request_at_)
                : text("not docked: %s after attempt %d, %.1f s", how, n, now - first_request_at_),
         why);
}

void RetrySupervisor::stop_run(double now, EndReason reason, int status, const std::string& how) {
  if (phase_ == Phase::kAttempt || (phase_ == Phase::kBackoff && check_ == Check::kStanding)) {
    out_.request(0, 0, 0);  // pauses the attempt, withdraws the check
  }
  backoff_.halt();
  stopped_in_ = state();
  phase_ = Phase::kStopping;
  stop_until_ = now + kStopHold;
  next_zero_at_ = now + Backoff::kCommandPeriod;
  stop_status_ = status;
  stop_reason_ = reason;
  stop_how_ = how;
}

void RetrySupervisor::finish(int status, EndReason reason, const std::string& how,
                             const std::string& why) {
  if (phase_ != Phase::kStopping) {
    stopped_in_ = state();
  }
  phase_ = Phase::kFinished;
  exit_status_ = status;
  end_reason_ = reason;
  end_text_ = why.empty() ? how : why + "; " + how;
  if (!attempts_.empty()) {
    end_text_ += ": " + history();
  }
  if (max_attempts_ > 1) {
    out_.line(how + ": " + history());
  }
}

RunState RetrySupervisor::state() const {
  switch (phase_) {
    case Phase::kBackoff:
      return check_ == Check::kNotAsked   ? RunState::kBackingOff
             : check_ == Check::kStanding ? RunState::kRetryCheck
                                          : RunState::kStaging;
    case Phase::kUndock:
      return RunState::kUndocking;
    case Phase::kStageLook:
    case Phase::kStage:
      return RunState::kStaging;
    case Phase::kSearch:
      return RunState::kSearching;
    case Phase::kStopping:
    case Phase::kFinished:
    case Phase::kIdle:
      return stopped_in_;
    case Phase::kWaiting:
    case Phase::kAttempt:
      break;
  }
  return RunState::kDocking;
}

std::optional<Standing> RetrySupervisor::standing(double now) const {
  const auto pose = seen_.station(now);
  if (!pose) {
    return std::nullopt;
  }
  return Standing{pose->distance, std::abs(pose->lateral)};
}

std::string RetrySupervisor::history() const {
  std::string h;
  for (size_t i = 0; i < attempts_.size(); ++i) {
    const AttemptRecord& a = attempts_[i];
    const char* end = a.end == AttemptRecord::End::kDocked     ? "docked"
                      : a.end == AttemptRecord::End::kFailed   ? "failed"
                      : a.end == AttemptRecord::End::kLost     ? "lost the station"
                      : a.end == AttemptRecord::End::kCanceled ? "canceled"
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
