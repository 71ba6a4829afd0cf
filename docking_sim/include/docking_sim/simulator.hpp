#pragma once

#include <optional>
#include <random>

#include "docking_sim/model.hpp"

namespace docking_sim {

struct PerceptionConfig {
  double latency = 0.0;        // s from the pose seen to the detection published
  double noise_xy = 0.0;       // standard deviation of x and y, m
  double noise_theta = 0.0;    // standard deviation of theta, rad
  double dropout = 0.0;        // probability that a sample yields no detection
  double max_range = 3.0;      // m
  double fov = M_PI;           // full field of view of the rear camera, rad
  double freeze_after = -1.0;  // s; from then on the last detection repeats; < 0: never
  double silent_after =
      -1.0;  // s; from then on no detection, as when the station is hidden; < 0: never
  double silent_for = 0.0;  // s the silence lasts; 0: to the end
};

// Defaults: no latency, noise or limits; docking_sim's parameters describe a real robot.
struct SimConfig {
  Pose2d start;
  double cmd_latency = 0.0;  // s from /cmd_vel received to the wheels acting on it
  double cmd_timeout = 0.0;  // s without a command before the base stops; <= 0: never
  AccelLimits accel;
  double odom_linear_scale = 1.0;  // odometry's distance per true distance
  double odom_yaw_drift = 0.0;     // rad/s added to the odometry's turn rate
  PerceptionConfig perception;
  unsigned seed = 1;
};

// The robot's base and its docking camera, advanced in explicit time steps so
// that the same model runs in real time in the node and step by step in tests.
class Simulator {
 public:
  explicit Simulator(const SimConfig& config);

  // A command received now; the base acts on it after the command latency.
  void command(const Velocity& cmd);
  void step(double dt);

  // Looks at the station now; a detection becomes due after the perception latency.
  void sample_perception();
  std::optional<StationPose> pop_detection();

  double time() const { return time_; }
  const Pose2d& truth() const { return truth_; }
  const Pose2d& odometry() const { return odom_; }
  const Velocity& velocity() const { return velocity_; }
  const Velocity& odometry_velocity() const { return odom_velocity_; }
  const Velocity& last_command() const { return last_command_; }
  // Commands received so far: gaps in their arrival show in the trajectory.
  long commands() const { return commands_received_; }
  // Whether the camera's last sample found the station: a silence, a frozen camera's
  // repeat, a dropout and a station out of view all leave the robot driving blind.
  bool seen() const { return seen_; }
  // Whether the station lies within the camera's range and field of view now.
  bool station_in_view() const;

 private:
  std::optional<StationPose> detect();

  SimConfig config_;
  double time_ = 0.0;
  Pose2d truth_;
  Pose2d odom_;
  Velocity velocity_;
  Velocity odom_velocity_;
  Velocity last_command_;
  long commands_received_ = 0;
  bool seen_ = false;
  Velocity target_;
  double target_since_ = 0.0;
  LatencyQueue<Velocity> commands_;
  LatencyQueue<StationPose> detections_;
  std::optional<StationPose> last_detection_;
  std::mt19937 rng_;
};

}  // namespace docking_sim
