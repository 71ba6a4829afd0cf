#include <unistd.h>

#include <cstdint>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "docking_logic.hpp"
#include "log.hpp"
#include "rclcpp/rclcpp.hpp"
#include "robotcontroller.hpp"

namespace {

const char* const kUsage =
    "usage: align_controller [-h|--help] [--ros-args [-p NAME:=VALUE]... [--params-file FILE]\n"
    "                        [-r FROM:=TO]... --]\n"
    "Docks the robot backwards onto its station: reads /docking_pose, /diff_bot/odom and\n"
    "/align_request, drives /cmd_vel and reports on /align_result.\n"
    "Parameters are read once at start-up and are read-only while it runs; their\n"
    "meanings and units: ros2 param describe /align_controller NAME.\n"
    "Environment: ROS_DOMAIN_ID, CYCLONEDDS_URI, SPDLOG_STDOUT, SPDLOG_SYSTEMD, SPDLOG_LEVEL.\n"
    "exit status: 0 ended by SIGINT or SIGTERM, 1 start-up failure\n";

// -h or --help among the program's own arguments: outside --ros-args ... [--].
bool help_asked(int argc, char** argv) {
  bool ros_args = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--ros-args") {
      ros_args = true;
    } else if (arg == "--") {
      ros_args = false;
    } else if (!ros_args && (arg == "-h" || arg == "--help")) {
      return true;
    }
  }
  return false;
}

// Logged when a retry is refused because perception has stopped changing.
constexpr int32_t kRetryRefusedErrorCode = 101100013;

bool request_is(const RobotController::Align& request, int32_t enable, int32_t action,
                int32_t success) {
  return request.enable == enable && request.action == action && request.success == success;
}

void set_align(RobotController::Align& msg, int32_t enable, int32_t action, int32_t success) {
  msg.enable = enable;
  msg.action = action;
  msg.success = success;
}

// Every end of an attempt leaves the node idle, ready for the next request.
void reset_attempt(RobotController& node) {
  set_align(node.align_request_, 0, 0, 0);
  node.first_angle_done_ = 0;
  node.position_done_ = false;
  node.second_angle_done_ = false;
  node.skip_position_adjust_ = false;
}

// Failure, timeout and a refused retry end alike: stop the robot, then report.
void end_with_failure(RobotController& node) {
  reset_attempt(node);
  node.pub_zero_cmd_and_sleep();
  set_align(node.align_result_, 1, 1, 0);
  node.align_result_pub_->publish(node.align_result_);
}

}  // namespace

int main(int argc, char** argv) {
  if (help_asked(argc, argv)) {
    std::cout << kUsage;
    return 0;
  }
  try {
    rclcpp::init(argc, argv);
    auto node = std::make_shared<RobotController>();
    // Anything not below 4.0, a NaN included, runs one attempt by itself.
    const bool automatic = !(node->trigger_mode < 4.0);
    rclcpp::Rate loop_rate(6);
    int32_t loop_count = 0;
    int32_t timeout_seconds = 0;
    int32_t active_cycles = 0;
    bool auto_attempt_done = false;

    while (rclcpp::ok()) {
      rclcpp::spin_some(node);
      const bool dock_request = request_is(node->align_request_, 1, 0, 0);
      const bool retry_check = request_is(node->align_request_, 1, 2, 0);

      bool active = false;
      if (!automatic) {
        if (dock_request) {
          timeout_seconds = 45;
          active = true;
        }
      } else if (loop_count > 30) {
        loop_count = 31;
        if (!auto_attempt_done) {
          timeout_seconds = 100;
          active = true;
        }
      }

      if (active) {
        node->refresh_station_pose();
        const Triple pose = node->viehcle_pose_in_station_frame_;
        LOG_INFO("viehcle_pose_in_station_frame:*{}, {}, {}", pose[0], pose[1], pose[2]);
        bool ended = false;
        if (is_docked(pose, node->distance_wheel_to_feature)) {
          LOG_INFO("docking finish! {}", pose[0]);
          reset_attempt(*node);
          node->pub_zero_cmd_and_sleep();
          set_align(node->align_result_, 1, 1, 1);
          usleep(2000000);
          node->RushAftrDocked();
          node->align_request_.enable = -1;
          node->align_result_pub_->publish(node->align_result_);
          ended = true;
        } else {
          // A step that completes hands over to the next one in the same cycle.
          if (node->first_angle_done_ == 0) {
            LOG_INFO("step 1 ***********");
            node->adjustAngle();
          }
          if (node->first_angle_done_ != 0 && !node->position_done_) {
            LOG_INFO("step 2 ***********");
            node->positionAdjust_bfrScope();
          }
          if (node->first_angle_done_ != 0 && node->position_done_ && !node->second_angle_done_) {
            LOG_INFO("step 3 ***********");
            node->adjustAngleAftrPoseAdjust();
          }
          if (node->first_angle_done_ != 0 && node->position_done_ && node->second_angle_done_) {
            LOG_INFO("step 4 ***********");
            if (!node->poseAlign()) {
              LOG_WARN("docking failed ***********");
              end_with_failure(*node);
              ended = true;
            }
          }
          if (!ended) {
            if (static_cast<double>(active_cycles) > timeout_seconds * 6.0) {
              LOG_INFO("docking timeout ...time_speed: {}", active_cycles);
              // Never report a failure while the robot still drives its last command.
              end_with_failure(*node);
              ended = true;
            } else {
              ++active_cycles;
            }
          }
        }
        if (ended) {
          active_cycles = 0;
          auto_attempt_done = true;
        }
      }

      if (retry_check) {
        node->refresh_station_pose();
        node->shift_pose_history();
        if (node->pose_history_frozen()) {
          LOG_ERROR("retry failed error code is {}", kRetryRefusedErrorCode);
          end_with_failure(*node);
          active_cycles = 0;
          auto_attempt_done = true;
        }
      }

      loop_rate.sleep();
      ++loop_count;
    }
    rclcpp::shutdown();
    return 0;
  } catch (const std::exception& e) {
    std::cerr << e.what() << std::endl;
    return 1;
  }
}
