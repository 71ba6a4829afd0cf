#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav_msgs/msg/odometry.hpp"
#include "quorvane_protocol/msg/align.hpp"
#include "rclcpp/rclcpp.hpp"
#include "test_support/child_process.hpp"

using namespace std::chrono_literals;

// Built against this tree's client layer rather than ROS 2's rclcpp: the two word
// start-up failures differently, and only the layer bounds parameter files.
#if __has_include("rclcpp_dds/type_support.hpp")
constexpr bool kOwnClientLayer = true;
#else
constexpr bool kOwnClientLayer = false;
#endif
using geometry_msgs::msg::Twist;
using quorvane_protocol::msg::Align;

inline Align make_align(int enable, int action, int success) {
  Align a;
  a.enable = enable;
  a.action = action;
  a.success = success;
  return a;
}

// The other side of the docking node in a test: perception, odometry and the
// supervisor in one, recording what the node commands and reports. Everything
// runs on the test's thread; callbacks run only inside spin_until().
class DockingPeer {
 public:
  // Joins DDS domain domain_id for this process.
  explicit DockingPeer(int domain_id);
  ~DockingPeer();

  // Runs the node on the same domain, with env added to its environment, and
  // waits until all five topics match.
  test_support::ChildProcess& start_node(const std::vector<std::string>& args = {},
                                         const std::vector<std::string>& env = {});
  // The same for a node process already started.
  test_support::ChildProcess& adopt_node(std::unique_ptr<test_support::ChildProcess> node);
  test_support::ChildProcess& node() { return *node_; }

  // Spins until cond holds; false on timeout.
  bool spin_until(const std::function<bool()>& cond, std::chrono::milliseconds timeout);
  // Spins for the whole duration: for checks that something does not happen.
  void spin_for(std::chrono::milliseconds duration);
  // The waits below fail the test and throw when nothing comes in time.
  // Index of the first node stdout line at or after from that contains text.
  size_t wait_line(const std::string& text, size_t from = 0,
                   std::chrono::milliseconds timeout = 10s);
  // Index of the first active-cycle pose line at or after from that shows
  // expected (each value within 1e-9).
  size_t wait_pose(const std::array<double, 3>& expected, size_t from = 0);
  // Waits for count more active cycles (pose lines) from now: whatever was
  // published before the call has been handled by then.
  void wait_cycles(size_t count);
  std::vector<std::string> lines() const { return node_->stdout_lines(); }
  size_t count_lines(const std::string& text, size_t from = 0) const;
  // From line from on, one line per text, each containing its text; waits
  // for that many lines first.
  void expect_lines(size_t from, const std::vector<std::string>& texts);

  void request(int enable, int action, int success) {
    request_pub_->publish(make_align(enable, action, success));
  }
  // Publishes the station pose in the robot's frame that puts the robot at
  // (x, y, heading) in the station's frame.
  void robot_in_station(double x, double y, double heading);
  void docking_pose(double x, double y, double theta);
  void odom(double x, double y, double z, double w);

  std::vector<Twist> cmds;
  std::vector<Align> results;

 private:
  // Index of the first node stdout line at or after from that satisfies pred.
  size_t wait_line_where(const std::function<bool(const std::string&)>& pred,
                         const std::string& what, size_t from = 0,
                         std::chrono::milliseconds timeout = 10s);
  int domain_id_;
  std::shared_ptr<rclcpp::Node> peer_;
  rclcpp::Publisher<geometry_msgs::msg::PoseStamped>::SharedPtr pose_pub_;
  rclcpp::Publisher<nav_msgs::msg::Odometry>::SharedPtr odom_pub_;
  rclcpp::Publisher<Align>::SharedPtr request_pub_;
  rclcpp::Subscription<Twist>::SharedPtr cmd_sub_;
  rclcpp::Subscription<Align>::SharedPtr result_sub_;
  std::unique_ptr<test_support::ChildProcess> node_;
};

// The numbers separated by ", " after the first tag in line.
std::vector<double> numbers_after(const std::string& line, const std::string& tag);

inline bool is_zero(const Twist& t) { return t == Twist(); }

// Every command finite, within the node's bounds with the default parameters
// (the speed plan's 0.2 m/s, the regulators' 0.1 + 0.2 rad/s) and with
// nothing but linear.x and angular.z set. Fails the test at the first that is not.
void expect_bounded_commands(const std::vector<Twist>& cmds);
// The same for the regulator terms of the "poseAlign, dxdydr:" lines from
// line from on: the pose finite, w_dy, w_dr and W within their bounds.
// Returns how many lines it checked.
size_t expect_bounded_regulators(const std::vector<std::string>& lines, size_t from = 0);

// Runs the node executable exe on domain domain_id, logging to standard output
// at info level; env ("NAME=value") adds to its environment.
std::unique_ptr<test_support::ChildProcess> spawn_program(const std::string& exe, int domain_id,
                                                          const std::vector<std::string>& args,
                                                          const std::vector<std::string>& env);

// Each test target names the align_controller executable it runs: its own
// build's, or an installed one.
#ifdef ALIGN_CONTROLLER_EXE
inline std::unique_ptr<test_support::ChildProcess> spawn_node(
    int domain_id, const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
  return spawn_program(ALIGN_CONTROLLER_EXE, domain_id, args, env);
}

inline test_support::ChildProcess& DockingPeer::start_node(const std::vector<std::string>& args,
                                                           const std::vector<std::string>& env) {
  return adopt_node(spawn_node(domain_id_, args, env));
}
#endif
