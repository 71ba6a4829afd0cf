#pragma once

#include <optional>
#include <string>
#include <vector>

#include "align_request/backoff.hpp"
#include "align_request/observations.hpp"
#include "align_request/options.hpp"
#include "align_request/search_turn.hpp"
#include "align_request/supervisor_outputs.hpp"

namespace align_request {

// Where the robot stood when an attempt ended, from the docking camera.
struct Standing {
  double distance;  // m to the station
  double lateral;   // m off the station's axis
};

struct AttemptRecord {
  // kLost: ended by the controller's refused retry check, asked when the camera lost the station.
  enum class End { kDocked, kFailed, kLost, kNoResult, kCanceled } end;
  double duration;  // s from the request to the result (or to giving up on it)
  std::optional<Standing> standing;
};

// Why a run ended; the dock action's error codes name the same.
enum class EndReason {
  kNone,                   // docked, or undocked to the staging distance
  kDockFailed,             // every attempt failed, or the controller answered unexpectedly
  kPerceptionFrozen,       // the retry check was refused, or the camera froze while driving
  kBackoffStopped,         // a bound of the drive (odometry, time) or no station in view to start
  kNoResult,               // no result within the timeout
  kControllerUnavailable,  // align_controller not discovered in time
  kCanceled,               // canceled, interrupted or shut down
  kStationNotInView,       // the search turn after an attempt did not find the station
};

// What a run is doing, for progress reports.
enum class RunState {
  kDocking,     // waiting for align_controller, or an attempt of it runs
  kBackingOff,  // driving away from the station, the retry check not yet asked
  kRetryCheck,  // the controller's retry check stands
  kStaging,     // the check passed, or before the first attempt: on to the staging distance
  kUndocking,
  kSearching,  // turning on the spot to find the station again
};

struct Progress {
  RunState state;
  int attempt;  // 1-based: the one running, or the last one while backing off; 0 before the first
  int max_attempts;
  std::optional<StationPose> pose;  // from the camera, when it is fresh
};

// A docking that robot software asks for.
struct DockRun {
  int attempts;
  double staging_distance;    // m
  double controller_timeout;  // s for align_controller to be discovered
};

// Docks with a bounded number of attempts: after a failed one it backs the
// robot off to the staging distance, asking the node's retry check on the way
// whether perception is alive, and asks again. While an attempt runs it
// watches the camera: a pose that stops changing pauses the attempt through
// the retry check, with the robot stopped, and a refusal ends it. A station out
// of view after an attempt is looked for by turning on the spot. With stage_first, a
// robot that starts too close to the station or far off its axis is first driven out
// onto the axis, as a back-off does. Also undocks: drives the robot out to the staging
// distance. Time is in seconds on any monotonic clock;
// every call may send outputs at once.
//
// Two kinds of run: start() is the command line's, which has waited for the
// controller itself and leaves the robot to it at the end; dock() and undock()
// are robot software's: they wait for the controller, can be canceled, and
// stop the robot at every end.
class RetrySupervisor {
 public:
  RetrySupervisor(const Options& options, SupervisorOutputs& out);

  // Requests the first attempt, with the options' attempts and staging distance.
  void start(double now);
  // Requests the first attempt once the controller is discovered.
  void dock(double now, const DockRun& run);
  void undock(double now, double staging_distance);

  // The station in the robot's frame, as /docking_pose carries it.
  void camera(double now, double x, double y, double theta);
  void odometry(double now, double x, double y, double yaw);
  void result(double now, int enable, int action, int success);
  // Whether align_controller is discovered: it reads /align_request and publishes /align_result.
  void controller(bool discovered) { controller_ = discovered; }
  // Called at 20 Hz or faster: deadlines, the back-off's 10 Hz commands and its bounds.
  void tick(double now);
  // SIGINT or SIGTERM of the command line: a back-off stops, an attempt is left to the node.
  void interrupt(double now);
  // Robot software's cancel (or its shutdown): the robot stops at once, an
  // attempt of the node is paused with (0, 0, 0), and the run ends canceled
  // once the stop has held for kStopHold.
  void cancel(double now);

  bool finished() const { return phase_ == Phase::kFinished; }
  int exit_status() const { return exit_status_; }
  bool backing_off() const { return phase_ == Phase::kBackoff; }
  bool staging() const { return phase_ == Phase::kStageLook || phase_ == Phase::kStage; }
  bool searching() const { return phase_ == Phase::kSearch; }
  const std::vector<AttemptRecord>& attempts() const { return attempts_; }
  Progress progress(double now) const;
  EndReason end_reason() const { return end_reason_; }
  // Why the run ended, in words.
  const std::string& end_text() const { return end_text_; }
  std::optional<StationPose> station(double now) const { return seen_.station(now); }

  // The node checks at 6 Hz and refuses on the third equal sample: 9 checks.
  static constexpr double kCheckWindow = 1.5;
  // The cancel reaches the node before the robot comes to rest.
  static constexpr double kCancelMargin = 0.3;
  static constexpr double kMaxTurnRate = Backoff::kMaxTurnRate;
  // After a pause the node may still send the command of the cycle it was in:
  // zero commands for two of its cycles.
  static constexpr double kStopHold = 0.3;
  // A check asked during an attempt not refused this long: the camera is back.
  static constexpr double kWatchCheck = 1.0;

  // Stage first. A start closer than the staging distance by more than kStageCloser
  // (the camera's noise and a back-off's stop lie well within it), or more than
  // kStageOffAxis off the axis, is poor: the controller reverses onto the axis at a
  // steep angle (from 1.5 m and 0.3 m off, 31 degrees) and, on the side its lateral
  // term cannot turn to, does not dock at all.
  static constexpr double kStageCloser = 0.05;  // m
  static constexpr double kStageOffAxis = 0.2;  // m
  // Off the axis the drive out goes this far beyond the nearer of the start and the
  // staging distance: at the back-off's steering 0.3 m off comes within 3 to 5 cm of the
  // axis in 1 m; 0.8 m off, to 0.2 to 0.35 m.
  static constexpr double kStageRun = 1.0;  // m
  // The staging keeps the station this close to the camera's axis: a 120 degree camera's
  // half field less the overshoot of a turn at 0.2 rad/s through the camera's latency.
  static constexpr double kStageView = 0.7;  // rad
  // A shorter drive would not bring the robot onto the axis: attempt 1 from where it stands.
  static constexpr double kStageMinRun = 0.3;  // m
  // For a camera pose to judge the start by; without one the attempt starts as without
  // staging.
  static constexpr double kStageLook = 1.0;  // s

 private:
  enum class Phase {
    kIdle,
    kWaiting,
    kStageLook,  // stage first: waiting for a camera pose to judge the start by
    kStage,      // stage first: driving out onto the axis
    kAttempt,
    kBackoff,
    kSearch,
    kUndock,
    kStopping,
    kFinished
  };
  enum class Check { kNotAsked, kStanding, kAnswered };

  void begin_run(double now, int attempts, double staging_distance, bool stop_at_end);
  // The first attempt, or first the staging when it is asked and the start is poor.
  void first_attempt(double now);
  // With a camera pose: stages a poor start, else requests the first attempt.
  void judge_start(double now);
  void tick_stage(double now);
  void request_attempt(double now);
  // The camera watched while an attempt runs.
  void watch(double now);
  // A refused check during an attempt: the camera has lost the station.
  void perception_lost(double now);
  // After a failed attempt with attempts left: back off, or find the station
  // first; lost: the attempt was ended by the watchdog's check.
  void after_attempt(double now, bool lost);
  // check: ask the node's retry check on the way.
  void begin_backoff(double now, bool check);
  void tick_search(double now);
  void not_in_view(double now, const std::string& why);
  void tick_backoff(double now);
  void tick_undock(double now);
  void end_attempt(double now, AttemptRecord::End end);
  // Stops the robot (and withdraws a standing retry check) and gives up.
  void stop_backoff(double now, const std::string& why, const char* how, EndReason reason,
                    int status = kExitFailed, bool stopped = false);
  // Pauses an attempt, withdraws a check, stops the robot and holds the stop.
  void stop_run(double now, EndReason reason, int status, const std::string& how);
  // how sums the run up; why, if any, is the line that ended it.
  void finish(int status, EndReason reason, const std::string& how, const std::string& why = "");
  RunState state() const;
  std::optional<Standing> standing(double now) const;
  std::string history() const;

  Options options_;
  SupervisorOutputs& out_;
  Observations seen_;
  Backoff backoff_;
  SearchTurn search_;
  Phase phase_ = Phase::kIdle;
  bool controller_ = false;

  // The run.
  int max_attempts_ = 0;
  double staging_distance_ = 0.0;
  bool stop_at_end_ = false;
  double controller_timeout_ = 0.0;
  int exit_status_ = 0;
  EndReason end_reason_ = EndReason::kNone;
  std::string end_text_;
  std::vector<AttemptRecord> attempts_;
  double first_request_at_ = 0.0;
  double stage_at_ = 0.0;
  double attempt_at_ = 0.0;
  Check check_ = Check::kNotAsked;
  double check_at_ = 0.0;

  // A stop held before the run ends.
  RunState stopped_in_ = RunState::kDocking;
  double stop_until_ = 0.0;
  double next_zero_at_ = 0.0;
  int stop_status_ = 0;
  EndReason stop_reason_ = EndReason::kCanceled;
  std::string stop_how_;
};

}  // namespace align_request
