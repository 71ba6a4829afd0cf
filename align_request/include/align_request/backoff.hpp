#pragma once

#include <optional>
#include <string>
#include <utility>

#include "align_request/observations.hpp"
#include "align_request/supervisor_outputs.hpp"

namespace align_request {

// The supervisor's only motion: drives the robot forward, away from its
// station, until the camera sees the station at a target distance, steering
// onto the station's axis, one command every 0.1 s. Bounded by the camera's
// stillness, the distance odometry shows and time; every end sends a zero
// command. Serves the back-off between attempts and the undock.
class Backoff {
 public:
  explicit Backoff(SupervisorOutputs& out) : out_(out) {}

  // Why a drive ended before its target.
  enum class Limit { kCameraStill, kOdometry, kTime };
  struct Stop {
    Limit limit;
    std::string text;
  };

  // Starts the drive from the camera's current distance: the first command
  // goes out at once. least is the shortest time the drive may need, whatever
  // the distance; name ("back-off", "undock") starts the texts of its stops.
  // With view above 0, the steering keeps the station within view rad of the
  // camera's axis, however far off the axis the robot starts.
  void begin(double now, const Observations& seen, double target, double speed, double least,
             const char* name, double view = 0.0);
  // Checks the bounds; when one is reached the robot is stopped.
  std::optional<Stop> limit(double now, const Observations& seen);
  // Whether the robot has visibly started to move, by odometry or the camera.
  bool moving(const Observations& seen) const;
  // At the target distance the robot is stopped and true returned.
  bool arrive(const Observations& seen);
  // The next command when its time has come.
  void drive(double now, const Observations& seen);
  // A zero command.
  void halt();

  double started_at() const { return started_at_; }

  static constexpr double kCommandPeriod = 0.1;  // inside any base's command watchdog
  static constexpr double kCameraStill = 0.5;    // no change in the pose for this long: lost
  // For the base to start moving and the camera, through its latency, to show it.
  static constexpr double kStartAllowance = 1.0;
  static constexpr double kMoving = 0.02;        // m travelled: the robot moves
  static constexpr double kOdometrySlack = 0.5;  // m beyond the target distance
  // Steering onto the station's axis on the way out, so that the next attempt
  // starts where the controller docks best: the heading aimed at is
  // -atan(kAxisGain * offset).
  static constexpr double kAxisGain = 2.0;     // per m off the axis
  static constexpr double kHeadingGain = 1.0;  // rad/s per rad of heading error
  static constexpr double kMaxTurnRate = 0.2;  // rad/s

 private:
  double turn_rate(const Observations& seen) const;
  double travelled(const Observations& seen) const;

  SupervisorOutputs& out_;
  const char* name_ = "";
  double target_ = 0.0;
  double speed_ = 0.0;
  double started_at_ = 0.0;
  double limit_ = 0.0;  // s
  double view_ = 0.0;   // rad; 0: no bound
  double distance_start_ = 0.0;
  std::optional<std::pair<double, double>> odom_start_;
  double next_command_at_ = 0.0;
};

}  // namespace align_request
