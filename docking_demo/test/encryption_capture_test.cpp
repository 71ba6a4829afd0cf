// What crosses loopback with and without DDS Security. How the capture is done: an AF_PACKET raw
// socket (ETH_P_ALL) bound to `lo` sees every frame that any process sends over loopback, DDS's
// UDP included, while this process publishes a /cmd_vel command of a known value and docking_sim,
// in another process, receives it. The serialized command (CDR encapsulation header, then
// linear.x) is searched for in every frame: without security it must be found, which proves the
// capture sees the traffic; with the keystore's governance (data and discovery encrypted) it
// must not, although docking_sim got the command. Needs CAP_NET_RAW (root); skipped without it.
// Domains 195 and 196.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "closed_loop.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "loopback_capture.hpp"
#include "rclcpp/rclcpp.hpp"
#include "test_keystore.hpp"

namespace {

using namespace std::chrono_literals;
using test_support::ChildProcess;
using tools_test::LoopbackCapture;

// A command no controller would send by chance, well within docking_sim's bounds.
constexpr double kMarkerSpeed = 0.0617283951;

// XCDR1 little endian: the encapsulation header, then the first field, linear.x.
std::string serialized_marker() {
  std::string bytes("\x00\x01\x00\x00", 4);
  char x[sizeof kMarkerSpeed];
  std::memcpy(x, &kMarkerSpeed, sizeof x);
  return bytes + std::string(x, sizeof x);
}

// This process's own environment, for the client layer in it: "NAME=value".
void set_own_env(const std::string& var) {
  const size_t eq = var.find('=');
  setenv(var.substr(0, eq).c_str(), var.substr(eq + 1).c_str(), 1);
}

struct Capture {
  bool delivered = false;
  long frames = 0;
  long hits = 0;
};

// docking_sim on domain, and kMarkerSpeed published on /cmd_vel from this process until the
// simulator's trajectory shows it, captured all along. With a keystore both run in their
// enclaves, security enforced.
Capture publish_marker(int domain, const std::string& keystore) {
  auto env = tools_test::dds_env(domain);
  std::vector<std::string> args{"capture_test"};
  const std::string csv = ::testing::TempDir() + "capture_" + std::to_string(::getpid()) + ".csv";
  std::vector<std::string> sim_argv{DOCKING_SIM, "--ros-args", "-p", "trajectory_csv:=" + csv};
  if (!keystore.empty()) {
    for (auto& var : tools_test::enforce_env(keystore)) {
      env.set_env.push_back(var);
    }
    sim_argv.insert(sim_argv.end(), {"--enclave", "/docking_sim"});
    args.insert(args.end(), {"--ros-args", "--enclave", "/align_controller"});
  }
  for (auto& var : env.set_env) set_own_env(var);

  Capture result;
  ChildProcess sim(sim_argv, env);
  EXPECT_TRUE(sim.wait_for_line_containing("docking_sim: robot at", 10s)) << sim.stderr_text();
  LoopbackCapture capture(serialized_marker());
  std::vector<const char*> argv;
  for (auto& arg : args) argv.push_back(arg.c_str());
  rclcpp::init(static_cast<int>(argv.size()), argv.data());
  {
    auto node = std::make_shared<rclcpp::Node>("align_controller");
    auto pub = node->create_publisher<geometry_msgs::msg::Twist>("/cmd_vel", 10);
    geometry_msgs::msg::Twist cmd;
    cmd.linear.x = kMarkerSpeed;
    result.delivered = test_support::wait_until(
        [&] {
          pub->publish(cmd);
          // The trajectory shows commands to four decimals.
          return std::abs(last_row(csv).cmd_v - kMarkerSpeed) < 1e-4;
        },
        30s);
  }
  rclcpp::shutdown();
  result.frames = capture.frames();
  result.hits = capture.hits();
  sim.send_signal(SIGTERM);
  EXPECT_EQ(sim.wait_exit(10s), 0);
  std::remove(csv.c_str());
  for (const char* var :
       {"ROS_SECURITY_ENABLE", "ROS_SECURITY_STRATEGY", "ROS_SECURITY_KEYSTORE"}) {
    unsetenv(var);
  }
  return result;
}

TEST(LoopbackTraffic, CmdVelIsInTheClearWithoutSecurityAndNotWhenEncrypted) {
  if (const LoopbackCapture probe(""); !probe.available()) {
    GTEST_SKIP() << "no capture on lo (" << probe.error() << "): needs CAP_NET_RAW, e.g. root";
  }
  const Capture plain = publish_marker(195, "");
  ASSERT_TRUE(plain.delivered) << "docking_sim never got the unsecured command";
  EXPECT_GT(plain.hits, 0) << "the capture missed the command in the clear in " << plain.frames
                           << " frames";

  tools_test::Keystore keystore(196);
  keystore.add_enclave("/align_controller", SECURITY_POLICY);
  keystore.add_enclave("/docking_sim", SECURITY_POLICY);
  const Capture secured = publish_marker(196, keystore.path());
  ASSERT_TRUE(secured.delivered) << "docking_sim never got the secured command";
  EXPECT_GT(secured.frames, 0);
  EXPECT_EQ(secured.hits, 0) << "the command crossed loopback in the clear";
  RecordProperty("plain_frames_with_command", std::to_string(plain.hits));
  RecordProperty("secured_frames_captured", std::to_string(secured.frames));
}

}  // namespace
