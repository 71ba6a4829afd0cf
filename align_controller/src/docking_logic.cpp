#include "docking_logic.hpp"

#include <cmath>

Matrix3 station_transform(double x, double y, double theta) {
  const double c = std::cos(theta);
  const double s = std::sin(theta);
  return {{{c, -s, x}, {s, c, y}, {0.0, 0.0, 1.0}}};
}

Matrix3 inverse_station_transform(const Matrix3& t) {
  const double c = t[0][0];
  const double s = t[1][0];
  const double x = t[0][2];
  const double y = t[1][2];
  // The determinant is computed, not taken as 1, so rounding stays consistent.
  const double d = c * c + s * s;
  const double r = 1.0 / d;
  return {{{c * r, s * r, (-s * y - c * x) * r},
           {-s * r, c * r, (s * x - c * y) * r},
           {0.0, 0.0, d * r}}};
}

double yaw_from_quaternion(double z, double w) { return std::atan2(2 * z * w, 1 - 2 * z * z); }

bool plausible_docking_pose(double x, double y, double theta) {
  // Written so that NaN fails every comparison.
  if (!(std::abs(x) <= kMaxStationDistance && std::abs(y) <= kMaxStationDistance &&
        std::abs(theta) <= kMaxStationAngle)) {
    return false;
  }
  const Matrix3 inverse = inverse_station_transform(station_transform(x, y, theta));
  return std::isfinite(inverse[0][2]) && std::isfinite(inverse[1][2]);
}

bool plausible_odometry(double x, double y, double z, double w) {
  return std::abs(x) <= kMaxOdometryDistance && std::abs(y) <= kMaxOdometryDistance &&
         std::isfinite(z) && std::isfinite(w);
}

double plan_vx(double distance, double vx_last, double vx_max) {
  if (distance > 0.5) {
    if (vx_last > 0.001) return 0.0;
    if (vx_last > -vx_max) return vx_last - 0.01;
    return -vx_max;
  }
  if (distance > 0.001 && distance < 0.3) {
    if (vx_last >= 0.0) return 0.0;
    if (vx_last > -vx_max) return vx_last + 0.008;
    return 0.0;
  }
  return -0.2;
}

bool is_docked(const Triple& pose_in_station, double distance_wheel_to_feature) {
  const double ax = std::abs(pose_in_station[0]);
  return distance_wheel_to_feature > ax && ax > 0.001 && std::abs(pose_in_station[1]) < 0.01 &&
         std::abs(pose_in_station[2]) < 0.1;
}

bool is_pose_frozen(double dy, double dy_prev, double dy_prev2, double dr, double dr_prev,
                    double dr_prev2) {
  return std::abs(dy_prev - dy) < 0.0001 && std::abs(dy_prev - dy_prev2) < 0.0001 &&
         std::abs(dr_prev - dr) < 0.0001 && std::abs(dr_prev - dr_prev2) < 0.0001;
}

double turn_rate(double error, double magnitude) {
  if (error > 0) return -magnitude;
  if (error < 0) return magnitude;
  return 0.0;
}

bool within_angle_tolerance(double error) { return std::abs(error) < kAngleTolerance; }

bool push_needed(double x_in_station) {
  const double ax = std::abs(x_in_station);
  return 0.01 < ax && ax < 0.35;
}
