#pragma once

#include <deque>
#include <optional>

namespace docking_sim {

// Robot pose in the station frame: the station at the origin, its axis along
// +x; a robot in front of the station with heading 0 has its back to it.
struct Pose2d {
  double x = 0.0;
  double y = 0.0;
  double heading = 0.0;
};

// What perception reports on /docking_pose: the station in the robot's frame,
// with the station's heading angle in theta.
struct StationPose {
  double x = 0.0;
  double y = 0.0;
  double theta = 0.0;
};

struct Velocity {
  double v = 0.0;  // m/s, negative drives backwards
  double w = 0.0;  // rad/s, counter-clockwise
};

// A value <= 0 leaves that axis unlimited.
struct AccelLimits {
  double linear = 0.0;   // m/s^2
  double angular = 0.0;  // rad/s^2
};

double wrap_angle(double a);

// z and w of the quaternion of a rotation by yaw about the vertical axis.
struct YawQuaternion {
  double z = 0.0;
  double w = 1.0;
};
YawQuaternion yaw_quaternion(double yaw);

StationPose station_in_robot(const Pose2d& robot);

// Exact unicycle motion over dt at constant v and w.
Pose2d integrate_unicycle(const Pose2d& pose, const Velocity& vel, double dt);

// The velocity reached from current towards target within dt.
Velocity limit_acceleration(const Velocity& current, const Velocity& target,
                            const AccelLimits& limits, double dt);

// The rear camera sees the station within max_range and within half the
// field of view either side of the robot's backward axis.
bool in_view(const StationPose& station, double max_range, double fov);

// Values become due latency seconds after they were pushed.
template <typename T>
class LatencyQueue {
 public:
  explicit LatencyQueue(double latency) : latency_(latency) {}

  void push(double now, const T& value) { queue_.push_back({now + latency_, value}); }

  // The newest value that is due at now; older due values are dropped.
  std::optional<T> pop_due(double now) {
    std::optional<T> due;
    while (!queue_.empty() && queue_.front().due <= now) {
      due = queue_.front().value;
      queue_.pop_front();
    }
    return due;
  }

 private:
  struct Entry {
    double due;
    T value;
  };
  double latency_;
  std::deque<Entry> queue_;
};

}  // namespace docking_sim
