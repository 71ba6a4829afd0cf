// The node class constructed in the test process: its configuration and the
// control laws of one approach cycle, driven through the members the
// callbacks would write.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "docking_peer/docking_peer.hpp"
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
    node_ = std::make_shared<RobotController>();
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

  // Runs one approach cycle: its result and its log lines.
  std::pair<bool, std::vector<std::string>> pose_align_cycle() {
    testing::internal::CaptureStdout();
    const bool ok = node_->poseAlign();
    std::vector<std::string> lines;
    std::istringstream in(testing::internal::GetCapturedStdout());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return {ok, lines};
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

// The shipped file documents every parameter with its default.
TEST_F(RobotControllerTest, DeclaresTheParametersOfTheShippedFileWithItsValues) {
  start(90);
  std::ifstream file(PARAMS_FILE);
  int count = 0;
  for (std::string line; std::getline(file, line);) {
    const size_t colon = line.find(':');
    if (line.rfind("    ", 0) != 0 || line[4] == '#' || colon == std::string::npos) continue;
    const std::string name = line.substr(4, colon - 4);
    const rclcpp::Parameter p = node_->get_parameter(name);
    ASSERT_EQ(p.get_type(), rclcpp::PARAMETER_DOUBLE) << name;
    EXPECT_EQ(p.as_double(), std::stod(line.substr(colon + 1))) << name;
    ++count;
  }
  EXPECT_EQ(count, 22);
}

// trigger_mode alone may be NaN: not below 4.0, so automatic.
TEST_F(RobotControllerTest, TriggerModeMayBeNan) {
  start(91, {"--ros-args", "-p", "trigger_mode:=.nan"});
  EXPECT_TRUE(std::isnan(node_->trigger_mode));
}

TEST_F(RobotControllerTest, WorkedApproachSequenceWithStalePoseFallback) {
  start(94);
  place(-1.0, 0.05, 0.1);
  const double expected_w[] = {0.07, 0.074, 0.008, 0.078, 0.082, 0.016};
  const int expected_index[] = {0, 0, 1, 1, 1, 2};
  for (int cycle = 0; cycle < 6; ++cycle) {
    const auto [ok, lines] = pose_align_cycle();
    ASSERT_TRUE(ok) << cycle + 1;
    const auto output = find(lines, "output, dxdydr: ");
    ASSERT_TRUE(output) << cycle + 1;
    EXPECT_NEAR(numbers_after(*output, "W: ").at(0), expected_w[cycle], 1e-12) << cycle + 1;
    EXPECT_NEAR(numbers_after(*output, "Vx: ").at(0), -0.01 * (cycle + 1), 1e-12) << cycle + 1;
    EXPECT_EQ(node_->odom_data_start_delay_index_, expected_index[cycle]) << cycle + 1;
    const bool frozen = cycle == 2 || cycle == 5;
    EXPECT_EQ(find(lines, "odom_data_start_delay_index_: ").has_value(), frozen) << cycle + 1;
    EXPECT_TRUE(find(lines, frozen ? "poseAlign, dxdydr: -1, 0, 0, w_dy: 0, "
                                   : "poseAlign, dxdydr: -1, 0.05, -0.1, "))
        << cycle + 1;
    EXPECT_EQ(node_->odom_start_request_, frozen) << cycle + 1;
  }
}

TEST_F(RobotControllerTest, BigErrorGateAndTurnFreeBand) {
  start(95);
  // Closer than 0.6 with a lateral error above 0.8: refused.
  place(0.59, 0.9, 0.0);
  EXPECT_FALSE(pose_align_cycle().first);
  place(0.6, 0.91, 0.0);
  EXPECT_TRUE(pose_align_cycle().first);

  // No turning strictly inside 0.4 < |x| < 0.7.
  const double w_band[][2] = {{0.5, 0.0}, {-0.5, 0.0}, {0.4, 0.1}, {0.7, 0.1}};
  double y = 0.2;
  for (const auto& [x, w] : w_band) {
    y += 0.01;  // keeps the history from freezing
    place(x, y, 0.0);
    const auto output = find(pose_align_cycle().second, "output, dxdydr: ");
    ASSERT_TRUE(output) << x;
    EXPECT_NEAR(numbers_after(*output, "W: ").at(0), w, 1e-12) << x;
  }
}

// The last guard, reached here past the input checks by writing a NaN
// straight into the member the pose callback would write.
TEST_F(RobotControllerTest, NonFiniteCommandGoesOutAsZeroWithAnError) {
  start(96);
  auto probe = std::make_shared<rclcpp::Node>("probe");
  std::vector<Twist> cmds;
  const auto sub = probe->create_subscription<Twist>(
      "/cmd_vel", 10, [&](std::shared_ptr<Twist> msg) { cmds.push_back(*msg); });
  ASSERT_TRUE(test_support::wait_until(
      [&] { return node_->cmd_vel_pub_->get_subscription_count() > 0; }, 10s));

  place(-1.0, std::numeric_limits<double>::quiet_NaN(), 0.1);
  const auto [ok, lines] = pose_align_cycle();
  EXPECT_TRUE(ok);
  EXPECT_TRUE(find(lines,
                   "[ERROR] /cmd_vel: non-finite command replaced by a zero command: "
                   "-0.01, 0, 0, 0, 0, nan"));
  ASSERT_TRUE(test_support::wait_until(
      [&] {
        rclcpp::spin_some(probe);
        return !cmds.empty();
      },
      10s));
  EXPECT_EQ(cmds, std::vector<Twist>{Twist()});
}

}  // namespace
