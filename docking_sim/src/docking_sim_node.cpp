// docking_sim: the robot's base driver and docking camera in one node, for
// running align_controller in a closed loop without a robot.
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include <geometry_msgs/msg/pose_stamped.hpp>
#include <geometry_msgs/msg/twist.hpp>
#include <nav_msgs/msg/odometry.hpp>
#include <rclcpp/rclcpp.hpp>

#include "docking_sim/simulator.hpp"
#include "docking_sim/step_tracker.hpp"

namespace docking_sim {
namespace {

// Our own handlers: Humble's rclcpp logs from inside its signal handler, which deadlocks
// when the signal lands while this 100 Hz loop is in malloc.
volatile std::sig_atomic_t g_signalled = 0;

extern "C" void on_signal(int) { g_signalled = 1; }

builtin_interfaces::msg::Time stamp_now() {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
  builtin_interfaces::msg::Time t;
  t.sec = static_cast<int32_t>(ns / 1000000000);
  t.nanosec = static_cast<uint32_t>(ns % 1000000000);
  return t;
}

geometry_msgs::msg::Quaternion orientation(double yaw) {
  const YawQuaternion zw = yaw_quaternion(yaw);
  geometry_msgs::msg::Quaternion q;
  q.z = zw.z;
  q.w = zw.w;
  return q;
}

nav_msgs::msg::Odometry odometry_message(const Pose2d& pose, const Velocity& vel,
                                         const std::string& frame) {
  nav_msgs::msg::Odometry m;
  m.header.stamp = stamp_now();
  m.header.frame_id = frame;
  m.child_frame_id = "base_link";
  m.pose.pose.position.x = pose.x;
  m.pose.pose.position.y = pose.y;
  m.pose.pose.orientation = orientation(pose.heading);
  m.twist.twist.linear.x = vel.v;
  m.twist.twist.angular.z = vel.w;
  return m;
}

class DockingSimNode : public rclcpp::Node {
 public:
  DockingSimNode() : Node("docking_sim") {
    config_.start = {
        number("start_x", 1.8, "robot's start x in the station frame (m)"),
        number("start_y", 0.3, "robot's start y in the station frame (m)"),
        number("start_heading", 0.15, "robot's start heading in the station frame (rad)")};
    rate_ = positive("rate", 100.0, "simulation steps per second (Hz)");
    odom_rate_ = positive("odom_rate", 50.0, "odometry and ground truth messages per second (Hz)");
    perception_rate_ = positive("perception_rate", 10.0, "camera samples per second (Hz)");
    config_.cmd_latency =
        non_negative("cmd_latency", 0.02, "from /cmd_vel received to the wheels acting on it (s)");
    // Negative would switch the watchdog off as 0 does, without saying so.
    config_.cmd_timeout = non_negative(
        "cmd_timeout", 0.5, "without a command this long the base stops; 0: no watchdog (s)");
    config_.accel = {
        positive("max_linear_accel", 0.5, "the base's linear acceleration limit (m/s^2)"),
        positive("max_angular_accel", 2.0, "the base's angular acceleration limit (rad/s^2)")};
    config_.odom_linear_scale =
        number("odom_linear_scale", 1.0, "odometry's distance per true distance (1)");
    config_.odom_yaw_drift =
        number("odom_yaw_drift", 0.0, "added to the odometry's turn rate (rad/s)");
    auto& p = config_.perception;
    p.latency = non_negative("perception_latency", 0.05,
                             "from a camera sample to its detection published (s)");
    p.noise_xy = non_negative("noise_xy", 0.002, "standard deviation of the detected x and y (m)");
    p.noise_theta =
        non_negative("noise_theta", 0.003, "standard deviation of the detected heading (rad)");
    p.dropout =
        non_negative("dropout", 0.02, "probability that a camera sample yields no detection (1)");
    if (p.dropout > 1.0) {
      refuse("dropout", p.dropout, "lie in [0, 1]");
    }
    p.max_range = positive("visibility_range", 3.0, "farthest the camera sees the station (m)");
    p.fov = positive("field_of_view", 2.0944,
                     "full field of view of the rear camera, 2 pi at most (rad)");
    if (p.fov > 2.0 * M_PI) {
      refuse("field_of_view", p.fov, "lie in (0, 2 pi]");
    }
    p.freeze_after = number("freeze_after", -1.0,
                            "from this time on the camera repeats its last detection; below 0: "
                            "never (s)");
    p.silent_after = number("silent_after", -1.0,
                            "from this time on the camera publishes nothing, as when the station "
                            "is hidden; below 0: never (s)");
    p.silent_for = non_negative("silent_for", 0.0,
                                "how long the camera stays silent from silent_after; 0: to the "
                                "end (s)");
    config_.seed = static_cast<unsigned>(declare_parameter<int64_t>(
        "seed", 1, read_only("seed of the noise and dropout (no unit)")));
    const auto csv = declare_parameter<std::string>(
        "trajectory_csv", "", read_only("file the trajectory is written to; empty: none (path)"));
    const auto log = declare_parameter<std::string>(
        "controller_log", "",
        read_only("file the controller's standard output goes to, read for the docking step; "
                  "empty: none (path)"));

    if (!csv.empty()) {
      csv_.open(csv);
      if (!csv_) {
        throw std::runtime_error("cannot write trajectory_csv '" + csv + "'");
      }
      csv_ << "time,x,y,heading,cmd_v,cmd_w,v,w,step,cmds,seen\n";
    }
    if (!log.empty()) {
      steps_.emplace(log);
    }
    sim_.emplace(config_);

    cmd_sub_ = create_subscription<geometry_msgs::msg::Twist>(
        "/cmd_vel", rclcpp::QoS(10), [this](geometry_msgs::msg::Twist::SharedPtr m) {
          sim_->command({m->linear.x, m->angular.z});
        });
    odom_pub_ = create_publisher<nav_msgs::msg::Odometry>("/diff_bot/odom", rclcpp::QoS(10));
    pose_pub_ = create_publisher<geometry_msgs::msg::PoseStamped>("/docking_pose", rclcpp::QoS(10));
    truth_pub_ =
        create_publisher<nav_msgs::msg::Odometry>("/docking_sim/ground_truth", rclcpp::QoS(10));
  }

  void run() {
    const auto& s = config_.start;
    std::cout << "docking_sim: robot at x " << s.x << " m, y " << s.y << " m, heading " << s.heading
              << " rad in the station frame" << std::endl;
    rclcpp::WallRate rate(rate_);
    auto last = std::chrono::steady_clock::now();
    double next_odom = 0.0, next_perception = 0.0;
    while (rclcpp::ok() && !g_signalled) {
      rclcpp::spin_some(shared_from_this());
      const auto now = std::chrono::steady_clock::now();
      // A stalled process must not teleport the robot.
      const double dt = std::min(std::chrono::duration<double>(now - last).count(), 0.1);
      last = now;
      sim_->step(dt);
      const double t = sim_->time();
      if (t >= next_perception) {
        sim_->sample_perception();
        report_view(t);
        next_perception += 1.0 / perception_rate_;
        csv_.flush();  // readers follow the trajectory while it runs
      }
      if (const auto seen = sim_->pop_detection()) {
        publish_detection(*seen);
      }
      if (t >= next_odom) {
        odom_pub_->publish(odometry_message(sim_->odometry(), sim_->odometry_velocity(), "odom"));
        truth_pub_->publish(odometry_message(sim_->truth(), sim_->velocity(), "station"));
        next_odom += 1.0 / odom_rate_;
      }
      write_row();
      rate.sleep();
    }
  }

 private:
  // Every parameter is read once, here: a later set could change nothing.
  static rcl_interfaces::msg::ParameterDescriptor read_only(const std::string& description) {
    rcl_interfaces::msg::ParameterDescriptor d;
    d.description = description;
    d.read_only = true;
    return d;
  }
  [[noreturn]] static void refuse(const std::string& name, double v, const std::string& rule) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    throw std::invalid_argument("parameter '" + name + "' must " + rule + ", got " +
                                std::string(text, end));
  }
  double number(const std::string& name, double fallback, const std::string& description) {
    const double v = declare_parameter<double>(name, fallback, read_only(description));
    if (!std::isfinite(v)) {
      refuse(name, v, "be a finite number");
    }
    return v;
  }
  double non_negative(const std::string& name, double fallback, const std::string& description) {
    const double v = number(name, fallback, description);
    if (v < 0.0) {
      refuse(name, v, "not be negative");
    }
    return v;
  }
  double positive(const std::string& name, double fallback, const std::string& description) {
    const double v = number(name, fallback, description);
    if (v <= 0.0) {
      refuse(name, v, "be greater than 0");
    }
    return v;
  }

  void publish_detection(const StationPose& seen) {
    geometry_msgs::msg::PoseStamped m;
    m.header.stamp = stamp_now();
    m.header.frame_id = "base_link";
    m.pose.position.x = seen.x;
    m.pose.position.y = seen.y;
    m.pose.position.z = seen.theta;  // the heading angle travels in z
    m.pose.orientation = orientation(seen.theta);
    pose_pub_->publish(m);
  }

  // The station leaving or entering the camera's view, in the log: where the robot drives blind.
  void report_view(double t) {
    const bool in_view = sim_->station_in_view();
    if (in_view == in_view_) {
      return;
    }
    in_view_ = in_view;
    const auto& p = sim_->truth();
    char line[160];
    std::snprintf(line, sizeof line,
                  "docking_sim: station %s at %.2f s; robot x %.3f m, y %.3f m, heading %.3f rad",
                  in_view ? "in the camera's view again" : "out of the camera's view", t, p.x, p.y,
                  p.heading);
    std::cout << line << std::endl;
  }

  void write_row() {
    if (!csv_.is_open()) {
      return;
    }
    const int step = steps_ ? steps_->update() : 0;
    const auto& p = sim_->truth();
    const auto& c = sim_->last_command();
    const auto& v = sim_->velocity();
    char row[256];
    std::snprintf(row, sizeof row, "%.3f,%.5f,%.5f,%.5f,%.4f,%.4f,%.4f,%.4f,%d,%ld,%d\n",
                  sim_->time(), p.x, p.y, p.heading, c.v, c.w, v.v, v.w, step, sim_->commands(),
                  sim_->seen() ? 1 : 0);
    csv_ << row;
  }

  SimConfig config_;
  double rate_ = 0.0, odom_rate_ = 0.0, perception_rate_ = 0.0;
  std::optional<Simulator> sim_;
  std::optional<StepTracker> steps_;
  std::ofstream csv_;
  bool in_view_ = true;  // a start out of view is reported too
  rclcpp::Subscription<geometry_msgs::msg::Twist>::SharedPtr cmd_sub_;
  rclcpp::Publisher<nav_msgs::msg::Odometry>::SharedPtr odom_pub_;
  rclcpp::Publisher<geometry_msgs::msg::PoseStamped>::SharedPtr pose_pub_;
  rclcpp::Publisher<nav_msgs::msg::Odometry>::SharedPtr truth_pub_;
};

}  // namespace
}  // namespace docking_sim

namespace {

const char* const kUsage =
    "usage: docking_sim [-h|--help] [--ros-args [-p NAME:=VALUE]... [--params-file FILE] --]\n"
    "The robot's base driver and docking camera in one node: subscribes /cmd_vel,\n"
    "publishes /diff_bot/odom, /docking_pose and /docking_sim/ground_truth.\n"
    "Parameters are read once at start-up and are read-only while it runs; their\n"
    "meanings and units: ros2 param describe /docking_sim NAME.\n"
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

}  // namespace

int main(int argc, char** argv) {
  if (help_asked(argc, argv)) {
    std::cout << kUsage;
    return 0;
  }
  try {
    rclcpp::init(argc, argv, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
    std::signal(SIGINT, docking_sim::on_signal);
    std::signal(SIGTERM, docking_sim::on_signal);
    auto node = std::make_shared<docking_sim::DockingSimNode>();
    node->run();
  } catch (const std::exception& e) {
    std::cerr << "docking_sim: " << e.what() << std::endl;
    rclcpp::shutdown();
    return 1;
  }
  rclcpp::shutdown();
  return 0;
}
