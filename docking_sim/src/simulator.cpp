#include "docking_sim/simulator.hpp"

namespace docking_sim {

Simulator::Simulator(const SimConfig& config)
    : config_(config),
      truth_(config.start),
      commands_(config.cmd_latency),
      detections_(config.perception.latency),
      rng_(config.seed) {}

void Simulator::command(const Velocity& cmd) {
  last_command_ = cmd;
  ++commands_received_;
  commands_.push(time_, cmd);
}

void Simulator::step(double dt) {
  if (const auto due = commands_.pop_due(time_)) {
    target_ = *due;
    target_since_ = time_;
  }
  // Like a base driver's command watchdog: a silent controller must not leave the robot driving.
  if (config_.cmd_timeout > 0.0 && time_ - target_since_ > config_.cmd_timeout) {
    target_ = {};
  }
  velocity_ = limit_acceleration(velocity_, target_, config_.accel, dt);
  truth_ = integrate_unicycle(truth_, velocity_, dt);
  odom_velocity_ = {velocity_.v * config_.odom_linear_scale, velocity_.w + config_.odom_yaw_drift};
  odom_ = integrate_unicycle(odom_, odom_velocity_, dt);
  time_ += dt;
}

void Simulator::sample_perception() {
  seen_ = false;
  const auto& p = config_.perception;
  const bool silent = p.silent_after >= 0.0 && time_ >= p.silent_after &&
                      (p.silent_for <= 0.0 || time_ < p.silent_after + p.silent_for);
  if (silent) {
    return;
  }
  const bool frozen = p.freeze_after >= 0.0 && time_ >= p.freeze_after && last_detection_;
  if (!frozen) {
    const auto seen = detect();
    if (!seen) {
      return;
    }
    seen_ = true;
    last_detection_ = seen;
  }
  detections_.push(time_, *last_detection_);
}

std::optional<StationPose> Simulator::detect() {
  const auto& p = config_.perception;
  const StationPose exact = station_in_robot(truth_);
  if (!in_view(exact, p.max_range, p.fov)) {
    return std::nullopt;
  }
  if (p.dropout > 0.0 && std::bernoulli_distribution(p.dropout)(rng_)) {
    return std::nullopt;
  }
  std::normal_distribution<double> unit(0.0, 1.0);
  return StationPose{exact.x + p.noise_xy * unit(rng_), exact.y + p.noise_xy * unit(rng_),
                     exact.theta + p.noise_theta * unit(rng_)};
}

bool Simulator::station_in_view() const {
  const auto& p = config_.perception;
  return in_view(station_in_robot(truth_), p.max_range, p.fov);
}

std::optional<StationPose> Simulator::pop_detection() { return detections_.pop_due(time_); }

}  // namespace docking_sim
