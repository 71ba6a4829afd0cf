// Start-up and shut-down of the align_controller process: configuration
// errors end it with one line on standard error, overrides reach the node.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <tuple>

#include "docking_peer/docking_peer.hpp"

namespace {

// A parameter file of its own, removed at the end of the test.
class ParamsFile {
 public:
  explicit ParamsFile(const std::string& body) {
    path_ =
        (std::filesystem::temp_directory_path() / "align_controller_paramsXXXXXX.yaml").string();
    const int fd = mkstemps(path_.data(), 5);
    if (fd < 0) throw std::runtime_error("mkstemps failed");
    close(fd);
    std::ofstream(path_) << "align_controller:\n  ros__parameters:\n" << body;
  }
  ~ParamsFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Both stacks end the process with status 1 and name the culprit on standard error;
// our client layer in one line of its own, rcl after an [ERROR] line and with its source
// positions. Only our layer bounds a file's size and parameters: rcl reads such files.
TEST(NodeStartup, ConfigurationErrorsFailWithOneLineOnStandardError) {
  const std::string type_error =
      "parameter 'trigger_mode' has invalid type: Wrong parameter type, parameter {trigger_mode} "
      "is of type {double}, setting it to {integer} is not allowed.\n";
  ParamsFile integer("    trigger_mode: 4\n");
  ParamsFile infinite("    upper_angle_: -.inf\n");
  // Files that would hold start-up for long: too many parameters, too many bytes.
  std::string many;
  for (int i = 0; i <= 10000; ++i) many += "    p" + std::to_string(i) + ": 1.0\n";
  ParamsFile too_many(many);
  ParamsFile too_big("    kp_w_: 1.0\n#" + std::string(1 << 20, '-') + "\n");
  // Refused by rcl at the first alias, however small the expansion.
  // Values that cannot work: the first rule broken, in the file as on the command line.
  ParamsFile unworkable("    distance_wheel_to_feature: -1.0\n    thetaMaxerror_threshold: 0.0\n");
  ParamsFile aliases("    l0: &l0 {a: 0.0, b: 0.0}\n    l1: {a: *l0}\n");
  const auto file_error = [](const ParamsFile& file, const std::string& error) {
    return "Couldn't parse params file: '--params-file " + file.path() + "'. Error: " + error;
  };
  struct Case {
    std::vector<std::string> args;
    std::string message;  // ours in full, or a part both stacks print
    bool whole_line;
    bool layer_bound;
  };
  const Case cases[] = {
      {{"-p", "trigger_mode:=4"}, type_error, true, false},
      {{"--params-file", integer.path()}, type_error, true, false},
      {{"-p", "kp_w_:=.nan"}, "parameter 'kp_w_' must be a finite number, got nan\n", true, false},
      {{"--params-file", infinite.path()},
       "parameter 'upper_angle_' must be a finite number, got -inf\n",
       true,
       false},
      {{"-p", "upper_w_:=-0.5"},
       "parameter 'upper_w_' must not be below 'lower_w_' (0), got -0.5\n",
       true,
       false},
      {{"-p", "lower_angle_:=0.5"},
       "parameter 'upper_angle_' must not be below 'lower_angle_' (0.5), got 0.2\n",
       true,
       false},
      {{"-p", "yMaxerror_threshold:=-3.0"},
       "parameter 'yMaxerror_threshold' must be greater than 0, got -3\n",
       true,
       false},
      {{"--params-file", unworkable.path(), "-p", "kp_w_:=-0.5"},
       "parameter 'thetaMaxerror_threshold' must be greater than 0, got 0\n",
       true,
       false},
      {{"-p"}, "-p", false, false},
      {{"-p", "kp_w_"}, "'-p kp_w_'", false, false},
      {{"--params-file", "no_such_dir/align_controller.yaml"},
       "'--params-file no_such_dir/align_controller.yaml'. Error: Error opening YAML file",
       false,
       false},
      {{"--params-file", aliases.path()},
       file_error(aliases, "Will not support aliasing at line 4"),
       false,
       false},
      {{"--params-file", too_many.path()},
       file_error(too_many, "More than 10000 parameters in the file") + "\n",
       true,
       true},
      {{"--params-file", too_big.path()},
       file_error(too_big, "File larger than 1 MiB") + "\n",
       true,
       true},
  };
  for (const auto& [args, message, whole_line, layer_bound] : cases) {
    if (layer_bound && !kOwnClientLayer) continue;
    std::vector<std::string> argv{"--ros-args"};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto node = spawn_node(50, argv);
    EXPECT_EQ(node->wait_exit(20s), 1) << args.back();
    const std::string err = node->stderr_text();
    if (whole_line) {
      EXPECT_EQ(err, message);
    } else {
      EXPECT_NE(err.find(message), std::string::npos) << err;
    }
    if (kOwnClientLayer) {
      EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
    EXPECT_EQ(node->stdout_text(), "") << args.back();
  }
}

// CYCLONEDDS_URI naming no readable file: our layer refuses it, where Cyclone DDS would
// read a directory as an empty profile and leave loopback for multicast on every
// interface (so that case runs on our layer only); a missing file ends both stacks.
TEST(NodeStartup, CycloneddsUriMustNameReadableFilesInlineXmlStaysAllowed) {
  const std::string dir = std::filesystem::temp_directory_path().string();
  const std::tuple<std::string, std::string, bool> bad[] = {
      {"file://" + dir, "Is a directory", true},
      {dir + "/no_such_profile.xml", "No such file or directory", false},
  };
  for (const auto& [uri, reason, layer_only] : bad) {
    if (layer_only && !kOwnClientLayer) continue;
    const auto node = spawn_node(51, {}, {"CYCLONEDDS_URI=" + uri});
    EXPECT_EQ(node->wait_exit(20s), 1) << uri;
    if (kOwnClientLayer) {
      EXPECT_EQ(node->stderr_text(), "CYCLONEDDS_URI names '" + uri +
                                         "', which is not a readable regular file (" + reason +
                                         ")\n");
    } else {
      EXPECT_NE(node->stderr_text().find(uri), std::string::npos) << node->stderr_text();
    }
    EXPECT_EQ(node->stdout_text(), "");
  }

  // The loopback profile, by file and inline: the node starts and talks.
  std::ostringstream inline_xml;
  inline_xml << std::ifstream(LOOPBACK_PROFILE).rdbuf();
  for (const std::string& uri : {std::string("file://") + LOOPBACK_PROFILE, inline_xml.str()}) {
    DockingPeer peer(52);
    peer.start_node({}, {"CYCLONEDDS_URI=" + uri});
    peer.request(1, 0, 0);
    peer.wait_line("step 1 ***********");
  }
}

TEST(NodeStartup, ParamsFileAndCommandLineOverridesReachTheNode) {
  DockingPeer peer(53);
  // The file widens the docked bound; the command line overrides the file.
  ParamsFile file("    distance_wheel_to_feature: 0.3\n");
  peer.start_node(
      {"--ros-args", "--params-file", file.path(), "-p", "distance_wheel_to_feature:=0.5"});
  peer.request(1, 0, 0);
  peer.wait_pose({10.0, 10.0, -2.0});
  peer.robot_in_station(0.4, 0.0, 0.0);
  const size_t pose = peer.wait_pose({0.4, 0.0, 0.0});
  peer.expect_lines(pose + 1, {"docking finish! 0.4"});

  // A request sent during the end's pauses waits for the next spin, then
  // starts a new attempt at once. At 0.4 the robot needs no push.
  peer.request(1, 0, 0);
  const size_t rush = peer.wait_line("No Rush after arrive station", pose);
  peer.wait_line("step 1 ***********", rush);
  peer.expect_lines(
      rush + 1, {"Align request callback: 1, 0, 0", "viehcle_pose_in_station_frame:*10, 10, -2"});
  ASSERT_TRUE(peer.spin_until([&] { return !peer.results.empty(); }, 5s));
  EXPECT_EQ(peer.results, std::vector<Align>{make_align(1, 1, 1)});
}

// Before any DDS: a profile that would end the node at start-up does not matter.
TEST(NodeStartup, HelpPrintsTheUsageAndExitsWithStatusZero) {
  const std::vector<std::string> asked[] = {{"--help"},
                                            {"-h"},
                                            {"--help", "--ros-args", "-p", "kp_w_:=.nan"},
                                            {"--ros-args", "-p", "kp_w_:=.nan", "--", "-h"}};
  for (const auto& args : asked) {
    const auto node = spawn_node(54, args, {"CYCLONEDDS_URI=/no_such_dir/profile.xml"});
    EXPECT_EQ(node->wait_exit(10s), 0) << args.size();
    EXPECT_EQ(node->stdout_text().rfind("usage: align_controller [-h|--help] [--ros-args", 0), 0u)
        << node->stdout_text();
    EXPECT_NE(node->stdout_text().find("exit status: 0 ended by SIGINT or SIGTERM, 1 start-up"),
              std::string::npos);
    EXPECT_EQ(node->stderr_text(), "");
  }
  // Within --ros-args, -h is rclcpp's: here a parameter file that does not exist.
  const auto node = spawn_node(54, {"--ros-args", "--params-file", "-h"});
  EXPECT_EQ(node->wait_exit(20s), 1);
  EXPECT_EQ(node->stdout_text(), "");
}

// With rclcpp's one line for the signal on standard error.
TEST(NodeStartup, SigintAndSigtermEndWithStatusZero) {
  for (int sig : {SIGINT, SIGTERM}) {
    DockingPeer peer(55);
    peer.start_node();
    peer.request(1, 0, 0);
    peer.wait_line("step 1 ***********");
    peer.node().send_signal(sig);
    EXPECT_EQ(peer.node().wait_exit(10s), 0) << sig;
    EXPECT_TRUE(std::regex_match(
        peer.node().stderr_text(),
        std::regex(R"(\[INFO\] \[[0-9]{10}\.[0-9]{9}\] \[rclcpp\]: signal_handler\(signum=)" +
                   std::to_string(sig) + "\\)\n")))
        << peer.node().stderr_text();
  }
}

}  // namespace
