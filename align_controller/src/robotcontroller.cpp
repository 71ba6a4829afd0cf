#include "robotcontroller.hpp"

#include <unistd.h>

#include <cmath>
#include <functional>
#include <initializer_list>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>

#include "log.hpp"
#include "node_parameters.hpp"

using std::placeholders::_1;

namespace {

// How a dropped sample is named: non-finite, or finite but out of bounds.
const char* fault(std::initializer_list<double> values) {
  for (double v : values) {
    if (!std::isfinite(v)) return "non-finite";
  }
  return "implausible";
}

void configure(PidController& pid, double kp, double ki, double kd, double target, double upper,
               double lower) {
  pid.kp = kp;
  pid.ki = ki;
  pid.kd = kd;
  pid.target = target;
  pid.upper = upper;
  pid.lower = lower;
  pid.error = 0.0;
  pid.prev_error = 0.0;
  pid.integral = 0.0;
}

}  // namespace

RobotController::RobotController() : rclcpp::Node("align_controller") {
  // Read once below: a set while the node runs could change nothing, so it is refused.
  std::map<std::string, double> values;
  for (const auto& parameter : kNodeParameters) {
    rcl_interfaces::msg::ParameterDescriptor descriptor;
    descriptor.description = parameter.description;
    descriptor.read_only = true;
    values[parameter.name] =
        declare_parameter<double>(parameter.name, parameter.default_value, descriptor);
  }
  if (const auto error = configuration_error(values)) {
    throw std::invalid_argument(*error);
  }

  // Read back in the order the members are listed, trigger_mode last.
  const std::pair<const char*, double*> numeric[] = {
      {"kp_u_", &kp_u_},
      {"ki_u_", &ki_u_},
      {"kd_u_", &kd_u_},
      {"target_u_", &target_u_},
      {"upper_u_", &upper_u_},
      {"lower_u_", &lower_u_},
      {"kp_w_", &kp_w_},
      {"ki_w_", &ki_w_},
      {"kd_w_", &kd_w_},
      {"target_w_", &target_w_},
      {"upper_w_", &upper_w_},
      {"lower_w_", &lower_w_},
      {"kp_angle_", &kp_angle_},
      {"ki_angle_", &ki_angle_},
      {"kd_angle_", &kd_angle_},
      {"target_angle_", &target_angle_},
      {"upper_angle_", &upper_angle_},
      {"lower_angle_", &lower_angle_},
      {"distance_wheel_to_feature", &distance_wheel_to_feature},
      {"yMaxerror_threshold", &yMaxerror_threshold},
      {"thetaMaxerror_threshold", &thetaMaxerror_threshold},
  };
  for (const auto& [name, member] : numeric) get_parameter(name, *member);
  get_parameter("trigger_mode", trigger_mode);

  configure(pid_u_, kp_u_, ki_u_, kd_u_, target_u_, upper_u_, lower_u_);
  configure(pid_w_, kp_w_, ki_w_, kd_w_, target_w_, upper_w_, lower_w_);
  configure(pid_angle_, kp_angle_, ki_angle_, kd_angle_, target_angle_, upper_angle_, lower_angle_);

  docking_pose_sub_ = create_subscription<geometry_msgs::msg::PoseStamped>(
      "/docking_pose", rclcpp::QoS(1),
      std::bind(&RobotController::docking_pose_callback, this, _1));
  odom_sub_ = create_subscription<nav_msgs::msg::Odometry>(
      "/diff_bot/odom", rclcpp::QoS(1), std::bind(&RobotController::odom_callback, this, _1));
  align_request_sub_ = create_subscription<Align>(
      "/align_request", rclcpp::QoS(1), std::bind(&RobotController::align_callback, this, _1));

  align_result_pub_ = create_publisher<Align>("/align_result", rclcpp::QoS(10));
  cmd_vel_pub_ = create_publisher<geometry_msgs::msg::Twist>("/cmd_vel", rclcpp::QoS(10));

  align_request_ = Align();
  align_result_ = Align();
  vx_last_ = 0.0;
}

void RobotController::align_callback(Align::SharedPtr msg) {
  align_request_.enable = msg->enable;
  align_request_.action = msg->action;
  align_request_.success = msg->success;
  // Stands until the next pose: no attempt may take an old pose as docked.
  vehicle_in_station_[0][2] = 10.0;
  vehicle_in_station_[1][2] = 10.0;
  docking_pose_[2] = 2.0;
  LOG_INFO("Align request callback: {}, {}, {}", msg->enable, msg->action, msg->success);
}

void RobotController::docking_pose_callback(geometry_msgs::msg::PoseStamped::SharedPtr msg) {
  const double x = msg->pose.position.x;
  const double y = msg->pose.position.y;
  const double theta = msg->pose.position.z;
  if (!plausible_docking_pose(x, y, theta)) {
    if (!docking_pose_dropping_) {
      LOG_WARN("/docking_pose dropped, {} value: {}, {}, {}", fault({x, y, theta}), x, y, theta);
      docking_pose_dropping_ = true;
    }
    return;
  }
  docking_pose_dropping_ = false;
  docking_pose_ = {x, y, theta};
  station_in_vehicle_ = station_transform(x, y, theta);
  vehicle_in_station_ = inverse_station_transform(station_in_vehicle_);
}

void RobotController::odom_callback(nav_msgs::msg::Odometry::SharedPtr msg) {
  const double px = msg->pose.pose.position.x;
  const double py = msg->pose.pose.position.y;
  const double z = msg->pose.pose.orientation.z;
  const double w = msg->pose.pose.orientation.w;
  if (!plausible_odometry(px, py, z, w)) {
    if (!odom_dropping_) {
      LOG_WARN("/diff_bot/odom dropped, {} value: {}, {}, {}, {}", fault({px, py, z, w}), px, py, z,
               w);
      odom_dropping_ = true;
    }
    return;
  }
  odom_dropping_ = false;
  const double yaw = yaw_from_quaternion(z, w);
  if (odom_start_request_) {
    odom_data_start_ = {px, py, yaw};
    odom_start_request_ = false;
  }
  odom_data_current_ = {px, py, yaw};
}

void RobotController::refresh_station_pose() {
  viehcle_pose_in_station_frame_ = {vehicle_in_station_[0][2], vehicle_in_station_[1][2],
                                    -docking_pose_[2]};
}

void RobotController::shift_pose_history() {
  dy_prev2_ = dy_prev_;
  dy_prev_ = dy_;
  dy_ = viehcle_pose_in_station_frame_[1];
  dr_prev2_ = dr_prev_;
  dr_prev_ = dr_;
  dr_ = viehcle_pose_in_station_frame_[2];
  dx_ = viehcle_pose_in_station_frame_[0];
}

bool RobotController::pose_history_frozen() const {
  return is_pose_frozen(dy_, dy_prev_, dy_prev2_, dr_, dr_prev_, dr_prev2_);
}

void RobotController::adjustAngle() {
  geometry_msgs::msg::Twist cmd;
  refresh_station_pose();
  const double x = viehcle_pose_in_station_frame_[0];
  const double y = viehcle_pose_in_station_frame_[1];
  const double theta = viehcle_pose_in_station_frame_[2];
  // Direction from the target point 1 m out on the station axis to the robot.
  const double headToTargetPoint = std::atan2(y, x - 1.0);
  const double e = theta - headToTargetPoint;
  LOG_INFO("first angle error: {}, headToTargetPoint: {}, current angle: {}", e, headToTargetPoint,
           theta);
  if (within_angle_tolerance(e) && within_angle_tolerance(last_angle_error_)) {
    LOG_INFO("first angle adjust done {}, current angle: {}", e, theta);
    if (std::abs(theta) < 0.08) skip_position_adjust_ = true;
    pub_zero_cmd_and_sleep();
    first_angle_done_ = 1;
    usleep(200000);
    return;
  }
  cmd.angular.z = turn_rate(e, 0.2);
  publish_cmd(cmd);
  LOG_INFO("first angle adjust doing... {}", cmd.angular.z);
  last_angle_error_prev_ = last_angle_error_;
  last_angle_error_ = e;
}

void RobotController::positionAdjust_bfrScope() {
  if (skip_position_adjust_) {
    position_done_ = true;
    return;
  }
  refresh_station_pose();
  const double y = viehcle_pose_in_station_frame_[1];
  if (last_dy_in_station_ * y < 0 || std::abs(y) < 0.06 || std::abs(docking_pose_[1]) < 0.06) {
    LOG_INFO("positionAdjust_bfrScope: {}, {}", y, docking_pose_[1]);
    position_done_ = true;
    pub_zero_cmd_and_sleep();
    usleep(200000);
    return;
  }
  geometry_msgs::msg::Twist cmd;
  cmd.linear.x = -0.1;
  publish_cmd(cmd);
  last_dy_in_station_ = y;
}

void RobotController::adjustAngleAftrPoseAdjust() {
  geometry_msgs::msg::Twist cmd;
  refresh_station_pose();
  const double x = viehcle_pose_in_station_frame_[0];
  const double y = viehcle_pose_in_station_frame_[1];
  const double theta = viehcle_pose_in_station_frame_[2];
  const double angleToStation = std::atan2(y, x);
  const double e = theta - angleToStation;
  LOG_INFO("second angle adjust: {}, angleToStation: {}", e, angleToStation);
  const double previous = last_angle_error_;
  last_angle_error_prev_ = previous;
  last_angle_error_ = e;
  if (within_angle_tolerance(e) && within_angle_tolerance(previous)) {
    LOG_INFO("second angle adjust done {}", e);
    pub_zero_cmd_and_sleep();
    second_angle_done_ = true;
    usleep(200000);
    return;
  }
  cmd.angular.z = turn_rate(e, 0.1);
  publish_cmd(cmd);
  LOG_INFO("second angle adjust doing... {}", cmd.angular.z);
}

bool RobotController::poseAlign() {
  refresh_station_pose();
  shift_pose_history();
  double lateral_error = 0.0;
  double heading_error = 0.0;
  if (!pose_history_frozen()) {
    odom_start_request_ = false;
    lateral_error = viehcle_pose_in_station_frame_[1];
    heading_error = docking_pose_[2];
  } else {
    // Stale perception: estimate the drift from odometry for the log, and
    // regulate on zero errors meanwhile.
    const int32_t limit = odom_data_start_delay_limit_;
    const bool requested = odom_start_request_;
    if (!requested || odom_data_start_delay_index_ < limit) {
      dy_odom_start_ = dy_;
      dr_odom_start_ = dr_;
    }
    if (odom_data_start_delay_index_ < limit) {
      ++odom_data_start_delay_index_;
      odom_start_request_ = true;
      LOG_INFO("odom_data_start_delay_index_: {}", odom_data_start_delay_index_);
    } else if (!requested) {
      odom_data_start_delay_index_ = limit;
    }
    if (odom_data_start_delay_index_ == limit) {
      const Triple& s = odom_data_start_;
      const Triple& c = odom_data_current_;
      const double ddx = c[0] - s[0];
      const double ddy = c[1] - s[1];
      const double ddyaw = c[2] - s[2];
      LOG_INFO("odom_data_start: {}, {}, {}", s[0], s[1], s[2]);
      LOG_INFO("odom_data_current: {}, {}, {}", c[0], c[1], c[2]);
      LOG_INFO("odom_data_diff: {}, {}, {}", ddx, ddy, ddyaw);
      const double dy_in_station_frame = ddy * std::cos(s[2]) - ddx * std::sin(s[2]);
      dy_ = dy_odom_start_ + dy_in_station_frame;
      dr_ = std::atan2(std::sin(ddyaw + dr_odom_start_), std::cos(ddyaw + dr_odom_start_));
      LOG_INFO("odom, dxdydr: {}, {}, {}, dy_in_station_frame: {}", dx_, dy_, dr_,
               dy_in_station_frame);
    }
    dy_ = 0.0;
    dr_ = 0.0;
  }

  const double w_dy = pid_w_.compute(lateral_error);
  const double w_dr = pid_angle_.compute(heading_error);
  double W = w_dy + w_dr;
  LOG_INFO("poseAlign, dxdydr: {}, {}, {}, w_dy: {}, w_dr: {}, W: {}", dx_, dy_, dr_, w_dy, w_dr,
           W);
  if (dr_ * dy_ > 0) W = 1.5 * w_dy + 0.5 * w_dr;
  const double Vx = VxPlan();
  if (std::abs(dx_) < 0.6 &&
      (std::abs(dy_) > yMaxerror_threshold || std::abs(dr_) > thetaMaxerror_threshold)) {
    LOG_WARN("big error: {}, {}", dy_, dr_);
    return false;
  }
  // No turning while crossing this band of the approach.
  if (std::abs(dx_) > 0.4 && std::abs(dx_) < 0.7) W = 0.0;
  geometry_msgs::msg::Twist cmd;
  cmd.linear.x = Vx;
  cmd.angular.z = W;
  publish_cmd(cmd);
  LOG_INFO("output, dxdydr: {}, {}, {}, w_dy: {}, w_dr: {}, W: {}, Vx: {}", dx_, dy_, dr_, w_dy,
           w_dr, W, Vx);
  return true;
}

double RobotController::VxPlan() {
  const double Vx = plan_vx(std::abs(dx_), vx_last_, vx_max_);
  vx_last_ = Vx;
  LOG_INFO(" Vx: {}", Vx);
  return Vx;
}

void RobotController::publish_cmd(const geometry_msgs::msg::Twist& cmd) {
  const auto& l = cmd.linear;
  const auto& a = cmd.angular;
  for (double v : {l.x, l.y, l.z, a.x, a.y, a.z}) {
    if (!std::isfinite(v)) {
      // Input checks keep this from happening; should one miss, the robot still gets no NaN.
      LOG_ERROR("/cmd_vel: non-finite command replaced by a zero command: {}, {}, {}, {}, {}, {}",
                l.x, l.y, l.z, a.x, a.y, a.z);
      publish_zero_cmd();
      return;
    }
  }
  cmd_vel_pub_->publish(cmd);
}

void RobotController::publish_zero_cmd() { cmd_vel_pub_->publish(geometry_msgs::msg::Twist()); }

void RobotController::pub_zero_cmd_and_sleep() {
  for (int i = 0; i < 5; ++i) {
    publish_zero_cmd();
    LOG_INFO("Publish the zero cmd");
    usleep(2000);
  }
}

void RobotController::RushAftrDocked() {
  refresh_station_pose();
  // Decided on the pose at arrival; the pause lets the robot settle.
  const double x = viehcle_pose_in_station_frame_[0];
  usleep(1000000);
  if (!push_needed(x)) {
    LOG_INFO("No Rush after arrive station");
    return;
  }
  geometry_msgs::msg::Twist push;
  push.linear.x = -0.1;
  for (int i = 0; i < 20; ++i) {
    publish_cmd(push);
    LOG_INFO("Publish the Rush cmd");
    usleep(50000);
  }
  for (int i = 0; i < 5; ++i) {
    publish_zero_cmd();
    LOG_INFO("Publish the zero cmd");
    usleep(2000);
  }
  LOG_INFO("Rush after arrive station");
}
