#pragma once

#include <cstdint>
#include <memory>

#include "docking_logic.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav_msgs/msg/odometry.hpp"
#include "pid_controller.hpp"
#include "quorvane_protocol/msg/align.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rosout_log.hpp"

// The docking node. The process entry owns the loop and the attempt's
// bookkeeping and reads and writes these members directly; the callbacks only
// store what the steps read between two spin_some calls.
class RobotController : public rclcpp::Node {
 public:
  using Align = quorvane_protocol::msg::Align;

  RobotController();

  // One control cycle each; a completed step sets its flag.
  void adjustAngle();
  void positionAdjust_bfrScope();
  void adjustAngleAftrPoseAdjust();
  bool poseAlign();
  double VxPlan();
  void pub_zero_cmd_and_sleep();
  void RushAftrDocked();

  // x', y' and heading -theta into viehcle_pose_in_station_frame_.
  void refresh_station_pose();
  // Advances the station-pose history by the snapshot, and tests it.
  void shift_pose_history();
  bool pose_history_frozen() const;

  Align align_request_;
  Align align_result_;

  double kp_u_ = 0.0, ki_u_ = 0.0, kd_u_ = 0.0, target_u_ = 0.0, upper_u_ = 0.0, lower_u_ = 0.0;
  double kp_w_ = 0.0, ki_w_ = 0.0, kd_w_ = 0.0, target_w_ = 0.0, upper_w_ = 0.0, lower_w_ = 0.0;
  double kp_angle_ = 0.0, ki_angle_ = 0.0, kd_angle_ = 0.0, target_angle_ = 0.0, upper_angle_ = 0.0,
         lower_angle_ = 0.0;

  rclcpp::Subscription<geometry_msgs::msg::PoseStamped>::SharedPtr docking_pose_sub_;
  rclcpp::Subscription<nav_msgs::msg::Odometry>::SharedPtr odom_sub_;
  rclcpp::Subscription<Align>::SharedPtr align_request_sub_;
  rclcpp::Publisher<geometry_msgs::msg::Twist>::SharedPtr cmd_vel_pub_;
  rclcpp::Publisher<Align>::SharedPtr align_result_pub_;

  Triple docking_pose_{0.0, 0.0, 0.0};
  Triple odom_data_current_{0.0, 0.0, 0.0};
  Triple odom_data_start_{0.0, 0.0, 0.0};
  bool odom_start_request_ = false;

  PidController pid_u_;
  PidController pid_w_;
  PidController pid_angle_;

  double distance_wheel_to_feature = 0.0;
  double yMaxerror_threshold = 0.0;
  double thetaMaxerror_threshold = 0.0;
  double trigger_mode = 0.0;

  // Until the first pose the robot counts as far away (x' = y' = 10, as a
  // request sets), so an attempt that starts blind is never taken as docked.
  Matrix3 station_in_vehicle_{{{1.0, 0.0, -10.0}, {0.0, 1.0, -10.0}, {0.0, 0.0, 1.0}}};
  Matrix3 vehicle_in_station_{{{1.0, 0.0, 10.0}, {0.0, 1.0, 10.0}, {0.0, 0.0, 1.0}}};
  Triple viehcle_pose_in_station_frame_{0.0, 0.0, 0.0};

  double vx_last_ = 0.0;
  int32_t first_angle_done_ = 0;
  bool second_angle_done_ = false;
  bool position_done_ = false;
  double vx_max_ = 0.15;
  double last_angle_error_ = 0.0;
  double last_angle_error_prev_ = 0.0;
  double dy_prev_ = 0.0, dr_prev_ = 0.0;
  double dy_prev2_ = 0.0, dr_prev2_ = 0.0;
  double dy_odom_start_ = 0.0, dr_odom_start_ = 0.0;
  int32_t odom_data_start_delay_limit_ = 3;
  int32_t odom_data_start_delay_index_ = 0;
  double dx_ = 0.0, dy_ = 0.0, dr_ = 0.0;
  double last_dy_in_station_ = 0.0;
  bool skip_position_adjust_ = false;

  // Inside a run of dropped implausible messages: warn only at its start.
  bool docking_pose_dropping_ = false;
  bool odom_dropping_ = false;

 private:
  void align_callback(Align::SharedPtr msg);
  void docking_pose_callback(geometry_msgs::msg::PoseStamped::SharedPtr msg);
  void odom_callback(nav_msgs::msg::Odometry::SharedPtr msg);

  // Every velocity command goes out through here, never one with a NaN or infinity.
  void publish_cmd(const geometry_msgs::msg::Twist& cmd);
  void publish_zero_cmd();

  // Last, so that the log stops going to /rosout before anything of the node goes.
  RosoutLog rosout_log_{*this};
};
