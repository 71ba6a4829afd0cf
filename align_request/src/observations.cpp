#include "align_request/observations.hpp"

#include <cmath>

namespace align_request {

void Observations::camera(double now, double x, double y, double theta) {
  if (!have_camera_ || x != x_ || y != y_ || theta != theta_) {
    changed_at_ = now;
  }
  have_camera_ = true;
  x_ = x;
  y_ = y;
  theta_ = theta;
  camera_at_ = now;
}

void Observations::odometry(double x, double y) {
  have_odometry_ = true;
  odom_x_ = x;
  odom_y_ = y;
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

double Observations::off_axis() const {
  // y of the robot in the station's frame: the inverse of the station's pose.
  return std::sin(theta_) * x_ - std::cos(theta_) * y_;
}

}  // namespace align_request
