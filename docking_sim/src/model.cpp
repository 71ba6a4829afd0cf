#include "docking_sim/model.hpp"

#include <algorithm>
#include <cmath>

namespace docking_sim {

double wrap_angle(double a) {
  a = std::remainder(a, 2.0 * M_PI);
  return a <= -M_PI ? a + 2.0 * M_PI : a;
}

YawQuaternion yaw_quaternion(double yaw) { return {std::sin(0.5 * yaw), std::cos(0.5 * yaw)}; }

StationPose station_in_robot(const Pose2d& robot) {
  // Inverse of the robot's pose: rotate the station's offset into the robot frame.
  const double c = std::cos(robot.heading);
  const double s = std::sin(robot.heading);
  return {-(c * robot.x + s * robot.y), s * robot.x - c * robot.y, -robot.heading};
}

Pose2d integrate_unicycle(const Pose2d& pose, const Velocity& vel, double dt) {
  const double h1 = pose.heading + vel.w * dt;
  Pose2d next{pose.x, pose.y, wrap_angle(h1)};
  if (std::abs(vel.w) < 1e-9) {
    next.x += vel.v * dt * std::cos(pose.heading);
    next.y += vel.v * dt * std::sin(pose.heading);
  } else {
    const double r = vel.v / vel.w;
    next.x += r * (std::sin(h1) - std::sin(pose.heading));
    next.y -= r * (std::cos(h1) - std::cos(pose.heading));
  }
  return next;
}

namespace {

double approach(double current, double target, double limit, double dt) {
  if (limit <= 0.0) {
    return target;
  }
  const double step = limit * dt;
  return current + std::clamp(target - current, -step, step);
}

}  // namespace

Velocity limit_acceleration(const Velocity& current, const Velocity& target,
                            const AccelLimits& limits, double dt) {
  return {approach(current.v, target.v, limits.linear, dt),
          approach(current.w, target.w, limits.angular, dt)};
}

bool in_view(const StationPose& station, double max_range, double fov) {
  if (std::hypot(station.x, station.y) > max_range) {
    return false;
  }
  const double off_rear_axis = wrap_angle(std::atan2(station.y, station.x) - M_PI);
  return std::abs(off_rear_axis) <= 0.5 * fov;
}

}  // namespace docking_sim
