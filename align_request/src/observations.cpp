#include "align_request/observations.hpp"

#include <algorithm>
#include <cmath>

namespace align_request {

void Observations::camera(double now, double x, double y, double theta) {
  if (!have_camera_ || x != x_ || y != y_ || theta != theta_) {
    changed_at_ = now;
    if (have_odometry_) {
      yaw_seen_ = odom_yaw_;
    }
  }
  have_camera_ = true;
  x_ = x;
  y_ = y;
  theta_ = theta;
  camera_at_ = now;
}

void Observations::odometry(double now, double x, double y, double yaw) {
  if (!have_odometry_) {
    odom_yaw_ = yaw;
  } else {
    odom_yaw_ += std::remainder(yaw - raw_yaw_, 2.0 * M_PI);
  }
  if (!have_odometry_ || (x == odom_x_ && y == odom_y_ && yaw == raw_yaw_)) {
    resting_at_ = now;
  }
  if (!yaw_seen_ && have_camera_) {
    yaw_seen_ = odom_yaw_;  // the pose came first: the robot has hardly turned since
  }
  have_odometry_ = true;
  odom_x_ = x;
  odom_y_ = y;
  raw_yaw_ = yaw;
}

double Observations::camera_still(double now) const {
  // At rest a pose that came is as good as a changed one; moving, it is not.
  return now - std::max(changed_at_, std::min(camera_at_, resting_at_));
}

std::optional<double> Observations::camera_distance(double now) const {
  if (!have_camera_ || now - camera_at_ > kFresh) {
    return std::nullopt;
  }
  return distance();
}

std::optional<StationPose> Observations::station(double now) const {
  if (!camera_distance(now)) {
    return std::nullopt;
  }
  return StationPose{distance(), off_axis(), theta_};
}

double Observations::distance() const { return std::hypot(x_, y_); }

double Observations::off_camera_axis() const {
  return std::remainder(std::atan2(y_, x_) - M_PI, 2.0 * M_PI);
}

double Observations::off_axis() const {
  // y of the robot in the station's frame: the inverse of the station's pose.
  return std::sin(theta_) * x_ - std::cos(theta_) * y_;
}

}  // namespace align_request
