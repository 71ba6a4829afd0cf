// Start-up and shut-down of the align_controller process: configuration
// errors end it with one line on standard error, overrides reach the node.
#include <gtest/gtest.h>

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "docking_peer.hpp"

namespace {

struct Outcome {
  std::optional<int> status;
  std::string out;
  std::string err;
};

// Runs the node on a domain of its own until it exits by itself.
Outcome run_to_exit(int domain_id, const std::vector<std::string>& args) {
  std::vector<std::string> argv{ALIGN_CONTROLLER_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  test_support::ChildProcess::Options options;
  options.set_env = {"ROS_DOMAIN_ID=" + std::to_string(domain_id), "SPDLOG_STDOUT=true",
                     "SPDLOG_SYSTEMD=false", "SPDLOG_LEVEL=info"};
  test_support::ChildProcess child(argv, options);
  Outcome outcome;
  outcome.status = child.wait_exit(20s);
  outcome.out = child.stdout_text();
  outcome.err = child.stderr_text();
  return outcome;
}

// A parameter file of its own, removed at the end of the test.
class ParamsFile {
 public:
  explicit ParamsFile(const std::string& body) {
    std::string name =
        (std::filesystem::temp_directory_path() / "align_controller_paramsXXXXXX.yaml").string();
    const int fd = mkstemps(name.data(), 5);
    if (fd < 0) throw std::runtime_error("mkstemps failed");
    close(fd);
    path_ = name;
    std::ofstream(path_) << "align_controller:\n  ros__parameters:\n" << body;
  }
  ~ParamsFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void expect_one_line_failure(const Outcome& outcome, const std::string& start) {
  ASSERT_TRUE(outcome.status);
  EXPECT_EQ(*outcome.status, 1);
  EXPECT_EQ(outcome.err.rfind(start, 0), 0u) << outcome.err;
  EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
  EXPECT_EQ(outcome.out, "");
}

TEST(NodeStartup, TriggerModeGivenAsIntegerFailsWithTheTypeError) {
  const std::string expected =
      "parameter 'trigger_mode' has invalid type: Wrong parameter type, parameter {trigger_mode} "
      "is of type {double}, setting it to {integer} is not allowed.\n";
  const Outcome by_flag = run_to_exit(50, {"--ros-args", "-p", "trigger_mode:=4"});
  expect_one_line_failure(by_flag, "parameter 'trigger_mode' has invalid type");
  EXPECT_EQ(by_flag.err, expected);

  ParamsFile file("    trigger_mode: 4\n");
  const Outcome by_file = run_to_exit(50, {"--ros-args", "--params-file", file.path()});
  EXPECT_EQ(by_file.status, 1);
  EXPECT_EQ(by_file.err, expected);
}

TEST(NodeStartup, NonFiniteParameterFailsNamingIt) {
  expect_one_line_failure(run_to_exit(51, {"--ros-args", "-p", "kp_w_:=.nan"}),
                          "parameter 'kp_w_' must be a finite number, got nan");
  ParamsFile file("    upper_angle_: -.inf\n");
  expect_one_line_failure(run_to_exit(51, {"--ros-args", "--params-file", file.path()}),
                          "parameter 'upper_angle_' must be a finite number, got -inf");
}

TEST(NodeStartup, MalformedRosArgumentsFail) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--ros-args", "-p"},
           {"--ros-args", "-p", "kp_w_"},
           {"--ros-args", "--params-file", "no_such_dir/align_controller.yaml"},
       }) {
    const Outcome outcome = run_to_exit(52, args);
    ASSERT_TRUE(outcome.status) << args.back();
    EXPECT_EQ(*outcome.status, 1) << args.back();
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
    EXPECT_EQ(outcome.out, "");
  }
}

TEST(NodeStartup, ParamsFileAndCommandLineOverridesReachTheNode) {
  DockingPeer peer(53);
  // The file widens the docked bound; the command line overrides the file.
  ParamsFile file("    distance_wheel_to_feature: 0.3\n");
  peer.start_node(
      {"--ros-args", "--params-file", file.path(), "-p", "distance_wheel_to_feature:=0.5"});
  peer.request(1, 0, 0);
  ASSERT_TRUE(peer.wait_pose({10.0, 10.0, -2.0}));
  peer.robot_in_station(0.4, 0.0, 0.0);
  const auto pose = peer.wait_pose({0.4, 0.0, 0.0});
  ASSERT_TRUE(pose);
  EXPECT_NE(peer.lines()[*pose + 1].find("docking finish! 0.4"), std::string::npos);
  ASSERT_TRUE(peer.spin_until([&] { return !peer.results.empty(); }, 15s));
  EXPECT_EQ(peer.results[0], (Align{1, 1, 1}));
}

TEST(NodeStartup, ShippedParamsFileKeepsTheDefaults) {
  DockingPeer peer(54);
  peer.start_node({"--ros-args", "--params-file", PARAMS_FILE});
  peer.request(1, 0, 0);
  ASSERT_TRUE(peer.wait_pose({10.0, 10.0, -2.0}));
  // At exactly the default bound of 0.25 the robot is not docked; inside it is.
  peer.robot_in_station(0.25, 0.0, 0.0);
  const auto edge = peer.wait_pose({0.25, 0.0, 0.0});
  ASSERT_TRUE(edge);
  EXPECT_NE(peer.lines()[*edge + 1].find("step 1 ***********"), std::string::npos);
  peer.robot_in_station(0.24, 0.0, 0.0);
  const auto inside = peer.wait_pose({0.24, 0.0, 0.0});
  ASSERT_TRUE(inside);
  EXPECT_NE(peer.lines()[*inside + 1].find("docking finish! 0.24"), std::string::npos);

  // A request sent during the end's pauses waits for the next spin, then
  // starts a new attempt at once.
  peer.request(1, 0, 0);
  const auto rush = peer.wait_line("Rush after arrive station", *inside);
  ASSERT_TRUE(rush);
  ASSERT_TRUE(peer.wait_line("step 1 ***********", *rush));
  const auto lines = peer.lines();
  EXPECT_NE(lines[*rush + 1].find("Align request callback: 1, 0, 0"), std::string::npos);
  EXPECT_NE(lines[*rush + 2].find("viehcle_pose_in_station_frame:*10, 10, -2"), std::string::npos);
  EXPECT_EQ(peer.results, (std::vector<Align>{{1, 1, 1}}));
}

TEST(NodeStartup, SigintAndSigtermEndWithStatusZero) {
  for (int sig : {SIGINT, SIGTERM}) {
    DockingPeer peer(55);
    peer.start_node();
    peer.request(1, 0, 0);
    ASSERT_TRUE(peer.wait_line("step 1 ***********"));
    peer.node().send_signal(sig);
    EXPECT_EQ(peer.node().wait_exit(10s), 0) << sig;
    EXPECT_EQ(peer.node().stderr_text(), "");
  }
}

}  // namespace
