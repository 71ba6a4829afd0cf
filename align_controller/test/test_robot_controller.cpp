// The node class constructed in the test process: its configuration and the
// control laws of one approach cycle, driven through the members the
// callbacks would write.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "docking_peer.hpp"
#include "robotcontroller.hpp"

namespace {

class RobotControllerTest : public ::testing::Test {
 protected:
  // Joins its own domain with these --ros-args and constructs the node.
  void start(int domain_id, std::vector<std::string> args = {}) {
    setenv("ROS_DOMAIN_ID", std::to_string(domain_id).c_str(), 1);
    setenv("SPDLOG_STDOUT", "true", 1);
    setenv("SPDLOG_SYSTEMD", "false", 1);
    setenv("SPDLOG_LEVEL", "info", 1);
    args.insert(args.begin(), "test_robot_controller");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    rclcpp::init(static_cast<int>(argv.size()), argv.data());
  }
  void TearDown() override {
    node_.reset();
    rclcpp::shutdown();
  }

  // What perception delivers: the robot at (x, y) in the station frame and
  // the received angle theta (the robot's heading is -theta).
  void place(double x, double y, double theta) {
    node_->vehicle_in_station_[0][2] = x;
    node_->vehicle_in_station_[1][2] = y;
    node_->docking_pose_[2] = theta;
  }

  // Runs one approach cycle and returns its log lines.
  std::vector<std::string> pose_align_cycle(bool* result = nullptr) {
    testing::internal::CaptureStdout();
    const bool ok = node_->poseAlign();
    if (result) *result = ok;
    return split(testing::internal::GetCapturedStdout());
  }

  static std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  static std::optional<std::string> find(const std::vector<std::string>& lines,
                                         const std::string& text) {
    for (const auto& line : lines) {
      if (line.find(text) != std::string::npos) return line;
    }
    return std::nullopt;
  }

  std::shared_ptr<RobotController> node_;
};

TEST_F(RobotControllerTest, DeclaresTheParametersWithTheirDefaults) {
  start(90);
  node_ = std::make_shared<RobotController>();
  const std::pair<const char*, double> expected[] = {
      {"kp_u_", 3.0},
      {"ki_u_", 0.0},
      {"kd_u_", 0.0},
      {"target_u_", 0.0},
      {"upper_u_", 0.1},
      {"lower_u_", -0.1},
      {"kp_w_", 1.0},
      {"ki_w_", 0.0},
      {"kd_w_", 0.0},
      {"target_w_", 0.0},
      {"upper_w_", 0.1},
      {"lower_w_", 0.0},
      {"kp_angle_", 0.2},
      {"ki_angle_", 0.04},
      {"kd_angle_", 0.0},
      {"target_angle_", 0.0},
      {"upper_angle_", 0.2},
      {"lower_angle_", -0.2},
      {"yMaxerror_threshold", 0.8},
      {"thetaMaxerror_threshold", 0.5},
      {"distance_wheel_to_feature", 0.25},
      {"trigger_mode", 3.0},
  };
  for (const auto& [name, value] : expected) {
    const rclcpp::Parameter p = node_->get_parameter(name);
    EXPECT_EQ(p.get_type(), rclcpp::PARAMETER_DOUBLE) << name;
    EXPECT_EQ(p.as_double(), value) << name;
  }
  EXPECT_EQ(node_->kp_angle_, 0.2);
  EXPECT_EQ(node_->lower_u_, -0.1);
  EXPECT_EQ(node_->trigger_mode, 3.0);
  EXPECT_EQ(node_->distance_wheel_to_feature, 0.25);

  const PidController& w = node_->pid_w_;
  EXPECT_EQ(w.kp, 1.0);
  EXPECT_EQ(w.upper, 0.1);
  EXPECT_EQ(w.lower, 0.0);
  const PidController& a = node_->pid_angle_;
  EXPECT_EQ(a.ki, 0.04);
  EXPECT_EQ(a.lower, -0.2);
  EXPECT_EQ(node_->pid_u_.kp, 3.0);
  for (const PidController* pid : {&std::as_const(node_->pid_u_), &w, &a}) {
    EXPECT_EQ(pid->error, 0.0);
    EXPECT_EQ(pid->prev_error, 0.0);
    EXPECT_EQ(pid->integral, 0.0);
  }

  EXPECT_EQ(node_->align_request_, Align{});
  EXPECT_EQ(node_->align_result_, Align{});
  EXPECT_EQ(node_->docking_pose_, (Triple{0.0, 0.0, 0.0}));
  EXPECT_EQ(node_->odom_data_current_, (Triple{0.0, 0.0, 0.0}));
  EXPECT_EQ(node_->odom_data_start_, (Triple{0.0, 0.0, 0.0}));
  EXPECT_EQ(node_->odom_data_start_delay_limit_, 3);
  EXPECT_EQ(node_->vx_max_, 0.15);
  // Blind until the first pose: far from the station, not docked.
  node_->refresh_station_pose();
  EXPECT_EQ(node_->viehcle_pose_in_station_frame_[0], 10.0);
  EXPECT_EQ(node_->viehcle_pose_in_station_frame_[1], 10.0);
  EXPECT_FALSE(is_docked(node_->viehcle_pose_in_station_frame_, 0.25));
}

TEST_F(RobotControllerTest, ParamsFileAndCommandLineOverride) {
  start(91, {"--ros-args", "--params-file", PARAMS_FILE, "-p", "kp_w_:=2.5", "-p",
             "trigger_mode:=4.0", "-p", "lower_angle_:=0.3"});
  node_ = std::make_shared<RobotController>();
  EXPECT_EQ(node_->kp_w_, 2.5);
  EXPECT_EQ(node_->pid_w_.kp, 2.5);
  EXPECT_EQ(node_->trigger_mode, 4.0);
  // Not validated: lower above upper is taken as given.
  EXPECT_EQ(node_->pid_angle_.lower, 0.3);
  EXPECT_EQ(node_->pid_angle_.upper, 0.2);
  EXPECT_EQ(node_->yMaxerror_threshold, 0.8);
  EXPECT_EQ(node_->get_parameter("kp_w_").as_double(), 2.5);
}

TEST_F(RobotControllerTest, IntegerForADoubleParameterFailsConstruction) {
  start(92, {"--ros-args", "-p", "trigger_mode:=4"});
  EXPECT_THROW(std::make_shared<RobotController>(),
               rclcpp::exceptions::InvalidParameterTypeException);
}

TEST_F(RobotControllerTest, NonFiniteParameterFailsConstructionButTriggerModeMayBeNan) {
  start(93, {"--ros-args", "-p", "trigger_mode:=.nan"});
  node_ = std::make_shared<RobotController>();
  EXPECT_TRUE(std::isnan(node_->trigger_mode));
  node_.reset();
  rclcpp::shutdown();

  start(93, {"--ros-args", "-p", "ki_u_:=.inf"});
  try {
    node_ = std::make_shared<RobotController>();
    FAIL() << "constructed with an infinite ki_u_";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "parameter 'ki_u_' must be a finite number, got inf");
  }
}

TEST_F(RobotControllerTest, WorkedApproachSequenceWithStalePoseFallback) {
  start(94);
  node_ = std::make_shared<RobotController>();
  place(-1.0, 0.05, 0.1);
  const double expected_w[] = {0.07, 0.074, 0.008, 0.078, 0.082, 0.016};
  const int expected_index[] = {0, 0, 1, 1, 1, 2};
  for (int cycle = 0; cycle < 6; ++cycle) {
    bool ok = false;
    const auto lines = pose_align_cycle(&ok);
    ASSERT_TRUE(ok) << cycle + 1;
    const auto output = find(lines, "output, dxdydr: ");
    ASSERT_TRUE(output) << cycle + 1;
    EXPECT_NEAR(*parse_value(*output, "W"), expected_w[cycle], 1e-12) << cycle + 1;
    EXPECT_NEAR(*parse_value(*output, "Vx"), -0.01 * (cycle + 1), 1e-12) << cycle + 1;
    EXPECT_EQ(node_->odom_data_start_delay_index_, expected_index[cycle]) << cycle + 1;
    const bool frozen = cycle == 2 || cycle == 5;
    EXPECT_EQ(find(lines, "odom_data_start_delay_index_: ").has_value(), frozen) << cycle + 1;
    if (frozen) {
      EXPECT_TRUE(find(lines, "poseAlign, dxdydr: -1, 0, 0, w_dy: 0, "));
      EXPECT_TRUE(node_->odom_start_request_);
    } else {
      EXPECT_TRUE(find(lines, "poseAlign, dxdydr: -1, 0.05, -0.1, "));
      EXPECT_FALSE(node_->odom_start_request_);
    }
  }
  EXPECT_EQ(node_->vx_last_, -0.060000000000000005);
}

TEST_F(RobotControllerTest, BigErrorGateTurnFreeBandAndSameSignWeighting) {
  start(95);
  node_ = std::make_shared<RobotController>();
  bool ok = true;
  // Close with a lateral error above 0.8: refused, nothing else logged after.
  place(0.59, 0.9, 0.0);
  auto lines = pose_align_cycle(&ok);
  EXPECT_FALSE(ok);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("[WARN] big error: 0.9, -0"), std::string::npos);
  EXPECT_FALSE(find(lines, "output, dxdydr"));
  // At 0.6 the gate is off: the same errors go out.
  place(0.6, 0.91, 0.0);
  lines = pose_align_cycle(&ok);
  EXPECT_TRUE(ok);
  EXPECT_TRUE(find(lines, "output, dxdydr: 0.6, 0.91, -0, "));

  // No turning strictly inside 0.4 < |x| < 0.7.
  const double w_band[][2] = {{0.5, 0.0}, {-0.5, 0.0}, {0.4, 0.1}, {0.7, 0.1}};
  double y = 0.2;
  for (const auto& [x, w] : w_band) {
    y += 0.01;  // keeps the history from freezing
    place(x, y, 0.0);
    lines = pose_align_cycle(&ok);
    const auto output = find(lines, "output, dxdydr: ");
    ASSERT_TRUE(output) << x;
    EXPECT_NEAR(*parse_value(*output, "W"), w, 1e-12) << x;
  }

  // Lateral and heading errors of the same sign weight the lateral term.
  place(2.0, 0.05, -0.05);  // heading 0.05
  lines = pose_align_cycle(&ok);
  const auto first = find(lines, "poseAlign, dxdydr: ");
  const auto output = find(lines, "output, dxdydr: ");
  ASSERT_TRUE(first && output);
  const double w_dy = *parse_value(*output, "w_dy");
  const double w_dr = *parse_value(*output, "w_dr");
  EXPECT_NEAR(*parse_value(*first, "W"), w_dy + w_dr, 1e-12);
  EXPECT_NEAR(*parse_value(*output, "W"), 1.5 * w_dy + 0.5 * w_dr, 1e-12);
  place(2.0, 0.06, 0.05);  // heading -0.05
  lines = pose_align_cycle(&ok);
  const auto unweighted = find(lines, "output, dxdydr: ");
  ASSERT_TRUE(unweighted);
  EXPECT_NEAR(*parse_value(*unweighted, "W"),
              *parse_value(*unweighted, "w_dy") + *parse_value(*unweighted, "w_dr"), 1e-12);
}

TEST_F(RobotControllerTest, FinalPushOnlyWhenSlightlyOff) {
  start(96);
  node_ = std::make_shared<RobotController>();
  for (double x : {0.01, 0.35}) {
    place(x, 0.0, 0.0);
    testing::internal::CaptureStdout();
    node_->RushAftrDocked();
    const auto lines = split(testing::internal::GetCapturedStdout());
    ASSERT_EQ(lines.size(), 1u) << x;
    EXPECT_NE(lines[0].find("No Rush after arrive station"), std::string::npos);
  }
  place(-0.2, 0.0, 0.1);
  testing::internal::CaptureStdout();
  node_->RushAftrDocked();
  const auto lines = split(testing::internal::GetCapturedStdout());
  ASSERT_EQ(lines.size(), 26u);
  for (size_t i = 0; i < 20; ++i)
    EXPECT_NE(lines[i].find("Publish the Rush cmd"), std::string::npos);
  for (size_t i = 20; i < 25; ++i)
    EXPECT_NE(lines[i].find("Publish the zero cmd"), std::string::npos);
  EXPECT_NE(lines[25].find("Rush after arrive station"), std::string::npos);
  EXPECT_EQ(node_->viehcle_pose_in_station_frame_, (Triple{-0.2, 0.0, -0.1}));
}

}  // namespace
