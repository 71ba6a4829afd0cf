#pragma once

#include <optional>
#include <string>
#include <vector>

#include "align_request/options.hpp"

namespace align_request {

// What the supervisor sends and says; the program wires it to the topics and
// standard output, tests record it.
class SupervisorOutputs {
 public:
  virtual ~SupervisorOutputs() = default;
  virtual void request(int enable, int action, int success) = 0;  // on /align_request
  // On /cmd_vel: linear.x forward, angular.z; both 0 stop the robot.
  virtual void velocity(double linear_x, double angular_z) = 0;
  virtual void line(const std::string& text) = 0;
};

// Where the robot stood when an attempt ended, from the docking camera.
struct Standing {
  double distance;  // m to the station
  double lateral;   // m off the station's axis
};

struct AttemptRecord {
  enum class End { kDocked, kFailed, kNoResult } end;
  double duration;  // s from the request to the result (or to giving up on it)
  std::optional<Standing> standing;
};

// Docks with a bounded number of attempts: after a failed one it backs the
// robot off to the staging distance, asking the node's retry check on the way
// whether perception is alive, and asks again. Time is in seconds on any
// monotonic clock; every call may send outputs at once.
class RetrySupervisor {
 public:
  RetrySupervisor(const Options& options, SupervisorOutputs& out);

  void start(double now);
  // The station in the robot's frame, as /docking_pose carries it.
  void camera(double now, double x, double y, double theta);
  void odometry(double x, double y);
  void result(double now, int enable, int action, int success);
  // Called at 20 Hz or faster: deadlines, the back-off's 10 Hz commands and its bounds.
  void tick(double now);
  // SIGINT or SIGTERM.
  void interrupt(double now);

  bool finished() const { return phase_ == Phase::kFinished; }
  int exit_status() const { return exit_status_; }
  bool backing_off() const { return phase_ == Phase::kBackoff; }
  const std::vector<AttemptRecord>& attempts() const { return attempts_; }

  // The back-off's pace and bounds.
  static constexpr double kCommandPeriod = 0.1;  // inside any base's command watchdog
  static constexpr double kCameraStill = 0.5;    // no change in the pose for this long: lost
  // For the base to start moving and the camera, through its latency, to show it.
  static constexpr double kStartAllowance = 1.0;
  static constexpr double kMoving = 0.02;  // m travelled before the retry check is asked
  // The node checks at 6 Hz and refuses on the third equal sample: 9 checks.
  static constexpr double kCheckWindow = 1.5;
  // The cancel reaches the node before the robot comes to rest.
  static constexpr double kCancelMargin = 0.3;
  static constexpr double kOdometrySlack = 0.5;  // m beyond the staging distance
  // Steering onto the station's axis on the way out, so that the next attempt
  // starts where the controller docks best: the heading aimed at is
  // -atan(kAxisGain * offset).
  static constexpr double kAxisGain = 2.0;     // per m off the axis
  static constexpr double kHeadingGain = 1.0;  // rad/s per rad of heading error
  static constexpr double kMaxTurnRate = 0.2;  // rad/s

 private:
  enum class Phase { kIdle, kAttempt, kBackoff, kFinished };
  enum class Check { kNotAsked, kStanding, kAnswered };

  void request_attempt(double now);
  void begin_backoff(double now);
  void end_attempt(double now, AttemptRecord::End end);
  // Stops the robot (and withdraws a standing retry check) and gives up.
  void stop_backoff(double now, const std::string& why, const char* how, int status = kExitFailed);
  void finish(int status, const std::string& how);
  std::optional<Standing> standing(double now) const;
  double off_axis() const;  // m, signed
  double turn_rate() const;
  std::optional<double> camera_distance(double now) const;
  double travelled() const;
  std::string history() const;

  Options options_;
  SupervisorOutputs& out_;
  Phase phase_ = Phase::kIdle;
  int exit_status_ = 0;
  std::vector<AttemptRecord> attempts_;
  double first_request_at_ = 0.0;
  double attempt_at_ = 0.0;

  // The latest camera pose and when it last changed.
  bool have_camera_ = false;
  double cam_x_ = 0.0, cam_y_ = 0.0, cam_theta_ = 0.0;
  double camera_at_ = 0.0, camera_changed_at_ = 0.0;
  bool have_odometry_ = false;
  double odom_x_ = 0.0, odom_y_ = 0.0;

  // The back-off in progress.
  double backoff_at_ = 0.0;
  double backoff_limit_ = 0.0;  // s
  std::optional<std::pair<double, double>> odom_start_;
  double distance_start_ = 0.0;
  double next_command_at_ = 0.0;
  Check check_ = Check::kNotAsked;
  double check_at_ = 0.0;
};

}  // namespace align_request
