#pragma once

#include <array>

// Control laws of the docking node that need no middleware, kept apart so
// that tests reach them directly.

using Triple = std::array<double, 3>;
using Matrix3 = std::array<std::array<double, 3>, 3>;

// Turn tolerance of the angle steps: 3 degrees.
constexpr double kAngleTolerance = 0.05235987755982988;

// Homogeneous 2-D transform of a pose (x, y, theta).
Matrix3 station_transform(double x, double y, double theta);

// Inverse of a station_transform() result through its adjugate and determinant.
Matrix3 inverse_station_transform(const Matrix3& t);

// Heading of a rotation about the vertical axis, from its quaternion's z and w.
double yaw_from_quaternion(double z, double w);

// No docking sensor reports the station farther than this, or beyond one turn;
// no base drives farther from its odometry origin.
constexpr double kMaxStationDistance = 100.0;
constexpr double kMaxStationAngle = 6.283185307179586;
constexpr double kMaxOdometryDistance = 1e6;

// A station pose (x, y, theta) the steps may use: finite, within the bounds
// above, and with a finite robot position in the station frame.
bool plausible_docking_pose(double x, double y, double theta);

// An odometry sample the steps may use: finite, within the bound above.
bool plausible_odometry(double x, double y, double z, double w);

// Forward speed of one approach cycle from the distance |x| to the station and
// the speed planned in the previous cycle.
double plan_vx(double distance, double vx_last, double vx_max);

// The robot sits on the station: strict bounds on x, y and heading.
bool is_docked(const Triple& pose_in_station, double distance_wheel_to_feature);

// Three consecutive samples of y and heading agree within 0.0001.
bool is_pose_frozen(double dy, double dy_prev, double dy_prev2, double dr, double dr_prev,
                    double dr_prev2);

// Fixed turn rate whose sign opposes the heading error; 0 for no error.
double turn_rate(double error, double magnitude);

bool within_angle_tolerance(double error);

// Still slightly off the station along x: worth the final open-loop push.
bool push_needed(double x_in_station);
