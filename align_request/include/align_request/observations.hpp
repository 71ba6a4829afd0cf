#pragma once

#include <optional>

namespace align_request {

// The station as the docking camera sees it.
struct StationPose {
  double distance;  // m to the station
  double lateral;   // m off the station's axis, signed: the robot's y in the station's frame
  double heading;   // rad, the station's heading angle as /docking_pose carries it (position.z)
};

// What the docking camera and the odometry said last, and when the camera's
// pose last changed: the supervisor's whole picture of the robot.
class Observations {
 public:
  // The station in the robot's frame, as /docking_pose carries it.
  void camera(double now, double x, double y, double theta);
  // yaw in rad; unwrapped here, so that turns add up across ±pi.
  void odometry(double now, double x, double y, double yaw);

  // A pose older than this no longer says where the robot is.
  static constexpr double kFresh = 0.5;  // s

  // From a camera pose no older than kFresh.
  std::optional<double> camera_distance(double now) const;
  std::optional<StationPose> station(double now) const;
  // From the latest camera pose, however old: 0 before the first.
  double distance() const;
  double off_axis() const;  // m, signed
  // rad from the camera's axis (the robot's back) to the station, signed like the heading
  double off_camera_axis() const;
  double heading() const { return theta_; }
  double camera_changed_at() const { return changed_at_; }
  // How long the camera has not shown the robot where it is: since its pose
  // last changed, or, while odometry showed the robot at rest, since its last
  // pose (a perfect camera on a robot at rest repeats its pose).
  double camera_still(double now) const;

  bool have_odometry() const { return have_odometry_; }
  double odometry_x() const { return odom_x_; }
  double odometry_y() const { return odom_y_; }
  double odometry_yaw() const { return odom_yaw_; }  // unwrapped
  // Odometry's yaw when the camera pose last changed: where the station was seen last.
  std::optional<double> yaw_seen() const { return yaw_seen_; }

 private:
  bool have_camera_ = false;
  double x_ = 0.0, y_ = 0.0, theta_ = 0.0;
  double camera_at_ = 0.0, changed_at_ = 0.0;
  bool have_odometry_ = false;
  double odom_x_ = 0.0, odom_y_ = 0.0, odom_yaw_ = 0.0, raw_yaw_ = 0.0;
  double resting_at_ = 0.0;  // last odometry that showed no motion
  std::optional<double> yaw_seen_;
};

}  // namespace align_request
