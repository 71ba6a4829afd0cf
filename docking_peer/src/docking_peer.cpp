#include "docking_peer/docking_peer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>

DockingPeer::DockingPeer(int domain_id) : domain_id_(domain_id) {
  setenv("ROS_DOMAIN_ID", std::to_string(domain_id).c_str(), 1);
  const char* argv[] = {"docking_peer"};
  rclcpp::init(1, argv);
  peer_ = std::make_shared<rclcpp::Node>("docking_peer");
  pose_pub_ = peer_->create_publisher<geometry_msgs::msg::PoseStamped>("/docking_pose", 10);
  odom_pub_ = peer_->create_publisher<nav_msgs::msg::Odometry>("/diff_bot/odom", 10);
  request_pub_ = peer_->create_publisher<Align>("/align_request", 10);
  // Deep enough that no command of a whole docking is lost between spins.
  cmd_sub_ = peer_->create_subscription<Twist>(
      "/cmd_vel", 2000, [this](std::shared_ptr<Twist> msg) { cmds.push_back(*msg); });
  result_sub_ = peer_->create_subscription<Align>(
      "/align_result", 100, [this](std::shared_ptr<Align> msg) { results.push_back(*msg); });
}

DockingPeer::~DockingPeer() {
  // The node's own account is the first thing to read when a test fails.
  if (node_ && ::testing::Test::HasFailure()) {
    std::cerr << "--- align_controller stdout\n"
              << node_->stdout_text() << "--- align_controller stderr\n"
              << node_->stderr_text() << "---\n";
  }
  node_.reset();
  rclcpp::shutdown();
}

std::unique_ptr<test_support::ChildProcess> spawn_program(const std::string& exe, int domain_id,
                                                          const std::vector<std::string>& args,
                                                          const std::vector<std::string>& env) {
  std::vector<std::string> argv{exe};
  argv.insert(argv.end(), args.begin(), args.end());
  test_support::ChildProcess::Options options;
  options.set_env = {"ROS_DOMAIN_ID=" + std::to_string(domain_id), "SPDLOG_STDOUT=true",
                     "SPDLOG_SYSTEMD=false", "SPDLOG_LEVEL=info"};
  options.set_env.insert(options.set_env.end(), env.begin(), env.end());
  return std::make_unique<test_support::ChildProcess>(argv, options);
}

test_support::ChildProcess& DockingPeer::adopt_node(
    std::unique_ptr<test_support::ChildProcess> node) {
  node_ = std::move(node);
  // Volatile topics drop what is published before matching.
  const bool matched = spin_until(
      [this] {
        return pose_pub_->get_subscription_count() > 0 && odom_pub_->get_subscription_count() > 0 &&
               request_pub_->get_subscription_count() > 0 && cmd_sub_->get_publisher_count() > 0 &&
               result_sub_->get_publisher_count() > 0;
      },
      20s);
  if (!matched) throw std::runtime_error("node topics not matched: " + node_->stderr_text());
  return *node_;
}

bool DockingPeer::spin_until(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    // spin_some hands over one message per subscription: drain the bursts.
    for (int i = 0; i < 50; ++i) rclcpp::spin_some(peer_);
    if (cond()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
}

void DockingPeer::spin_for(std::chrono::milliseconds duration) {
  spin_until([] { return false; }, duration);
}

namespace {

[[noreturn]] void fail_wait(const std::string& what, size_t from) {
  ADD_FAILURE() << "no node line " << what << " from line " << from;
  throw std::runtime_error("no node line " + what);
}

}  // namespace

size_t DockingPeer::wait_line_where(const std::function<bool(const std::string&)>& pred,
                                    const std::string& what, size_t from,
                                    std::chrono::milliseconds timeout) {
  std::optional<size_t> found;
  spin_until(
      [&] {
        const auto all = node_->stdout_lines();
        for (size_t i = from; i < all.size() && !found; ++i) {
          if (pred(all[i])) found = i;
        }
        return found.has_value();
      },
      timeout);
  if (!found) fail_wait(what, from);
  return *found;
}

size_t DockingPeer::wait_line(const std::string& text, size_t from,
                              std::chrono::milliseconds timeout) {
  return wait_line_where(
      [&](const std::string& line) { return line.find(text) != std::string::npos; },
      "containing '" + text + "'", from, timeout);
}

size_t DockingPeer::wait_pose(const std::array<double, 3>& expected, size_t from) {
  return wait_line_where(
      [&](const std::string& line) {
        const auto pose = numbers_after(line, "viehcle_pose_in_station_frame:*");
        if (pose.size() != 3) return false;
        for (int i = 0; i < 3; ++i) {
          if (std::abs(pose[i] - expected[i]) > 1e-9) return false;
        }
        return true;
      },
      "with pose " + std::to_string(expected[0]) + ", " + std::to_string(expected[1]) + ", " +
          std::to_string(expected[2]),
      from);
}

void DockingPeer::wait_cycles(size_t count) {
  const size_t from = node_->stdout_lines().size();
  const auto enough = [&] { return count_lines("viehcle_pose_in_station_frame:", from) >= count; };
  if (!spin_until(enough, 10s)) fail_wait(std::to_string(count) + " more cycles", from);
}

void DockingPeer::expect_lines(size_t from, const std::vector<std::string>& texts) {
  // The lines of one cycle may come in more than one read.
  spin_until([&] { return node_->stdout_lines().size() >= from + texts.size(); }, 10s);
  const auto all = node_->stdout_lines();
  ASSERT_GE(all.size(), from + texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_NE(all[from + i].find(texts[i]), std::string::npos)
        << "line " << from + i << ": " << all[from + i] << " lacks " << texts[i];
  }
}

size_t DockingPeer::count_lines(const std::string& text, size_t from) const {
  const auto all = node_->stdout_lines();
  size_t n = 0;
  for (size_t i = from; i < all.size(); ++i) n += all[i].find(text) != std::string::npos;
  return n;
}

void DockingPeer::robot_in_station(double x, double y, double heading) {
  // The station in the robot's frame is the inverse of the robot in the
  // station's frame: angle -heading, translation -R(-heading) (x, y).
  const double theta = -heading;
  const double c = std::cos(theta);
  const double s = std::sin(theta);
  docking_pose(-(c * x - s * y), -(s * x + c * y), theta);
}

void DockingPeer::docking_pose(double x, double y, double theta) {
  geometry_msgs::msg::PoseStamped msg;
  msg.pose.position.x = x;
  msg.pose.position.y = y;
  msg.pose.position.z = theta;
  pose_pub_->publish(msg);
}

void DockingPeer::odom(double x, double y, double z, double w) {
  nav_msgs::msg::Odometry msg;
  msg.pose.pose.position.x = x;
  msg.pose.pose.position.y = y;
  msg.pose.pose.orientation.z = z;
  msg.pose.pose.orientation.w = w;
  odom_pub_->publish(msg);
}

std::vector<double> numbers_after(const std::string& line, const std::string& tag) {
  std::vector<double> numbers;
  const size_t at = line.find(tag);
  if (at == std::string::npos) return numbers;
  const char* p = line.c_str() + at + tag.size();
  for (char* end = nullptr;; p = end + (std::strncmp(end, ", ", 2) == 0 ? 2 : 0)) {
    const double v = std::strtod(p, &end);
    if (end == p) return numbers;
    numbers.push_back(v);
  }
}

namespace {

// upper_w_ + upper_angle_, with room for the rounding of their sum.
constexpr double kMaxTurnRate = 0.3 + 1e-12;

}  // namespace

void expect_bounded_commands(const std::vector<Twist>& cmds) {
  for (size_t i = 0; i < cmds.size(); ++i) {
    const Twist& c = cmds[i];
    // Written so that NaN fails the comparisons.
    if (!(std::abs(c.linear.x) <= 0.2 && std::abs(c.angular.z) <= kMaxTurnRate) ||
        c.linear.y != 0 || c.linear.z != 0 || c.angular.x != 0 || c.angular.y != 0) {
      ADD_FAILURE() << "command " << i << " of " << cmds.size() << ": " << c.linear.x << ", "
                    << c.linear.y << ", " << c.linear.z << ", " << c.angular.x << ", "
                    << c.angular.y << ", " << c.angular.z;
      return;
    }
  }
}

size_t expect_bounded_regulators(const std::vector<std::string>& lines, size_t from) {
  size_t checked = 0;
  for (size_t i = from; i < lines.size(); ++i) {
    const auto pose = numbers_after(lines[i], "poseAlign, dxdydr: ");
    if (pose.empty()) continue;
    const auto w_dy = numbers_after(lines[i], "w_dy: ");
    const auto w_dr = numbers_after(lines[i], "w_dr: ");
    const auto w = numbers_after(lines[i], "W: ");
    const bool finite_pose = pose.size() == 3 && std::isfinite(pose[0]) && std::isfinite(pose[1]) &&
                             std::isfinite(pose[2]);
    if (!finite_pose || w_dy.empty() || !(0.0 <= w_dy[0] && w_dy[0] <= 0.1) || w_dr.empty() ||
        !(std::abs(w_dr[0]) <= 0.2) || w.empty() || !(std::abs(w[0]) <= kMaxTurnRate)) {
      ADD_FAILURE() << "line " << i << ": " << lines[i];
      return checked;
    }
    ++checked;
  }
  return checked;
}
