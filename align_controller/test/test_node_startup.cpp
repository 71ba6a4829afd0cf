// Start-up and shut-down of the align_controller process: configuration
// errors end it with one line on standard error, overrides reach the node.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "docking_peer.hpp"

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

TEST(NodeStartup, ConfigurationErrorsFailWithOneLineOnStandardError) {
  const std::string type_error =
      "parameter 'trigger_mode' has invalid type: Wrong parameter type, parameter {trigger_mode} "
      "is of type {double}, setting it to {integer} is not allowed.\n";
  ParamsFile integer("    trigger_mode: 4\n");
  ParamsFile infinite("    upper_angle_: -.inf\n");
  // Files that would hold start-up for long: too many parameters, too many
  // bytes, aliases that expand a short file ten levels of ten deep.
  std::string many;
  for (int i = 0; i <= 10000; ++i) many += "    p" + std::to_string(i) + ": 1.0\n";
  ParamsFile too_many(many);
  ParamsFile too_big("    kp_w_: 1.0\n#" + std::string(1 << 20, '-') + "\n");
  std::string nested = "    l0: &l0 {a: 0.0, b: 0.0, c: 0.0, d: 0.0, e: 0.0}\n";
  for (int level = 1; level < 10; ++level) {
    const std::string below = "*l" + std::to_string(level - 1);
    nested += "    l" + std::to_string(level) + ": &l" + std::to_string(level) + " {a: " + below +
              ", b: " + below + ", c: " + below + ", d: " + below + ", e: " + below + "}\n";
  }
  ParamsFile aliases(nested);
  const auto file_error = [](const ParamsFile& file, const std::string& error) {
    return "Couldn't parse params file: '--params-file " + file.path() + "'. Error: " + error +
           "\n";
  };
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-p", "trigger_mode:=4"}, type_error},
      {{"--params-file", integer.path()}, type_error},
      {{"-p", "kp_w_:=.nan"}, "parameter 'kp_w_' must be a finite number, got nan\n"},
      {{"--params-file", infinite.path()},
       "parameter 'upper_angle_' must be a finite number, got -inf\n"},
      {{"-p"}, ""},
      {{"-p", "kp_w_"}, ""},
      {{"--params-file", "no_such_dir/align_controller.yaml"}, ""},
      {{"--params-file", too_many.path()},
       file_error(too_many, "More than 10000 parameters in the file")},
      {{"--params-file", too_big.path()}, file_error(too_big, "File larger than 1 MiB")},
      {{"--params-file", aliases.path()},
       file_error(aliases, "Aliases expand to more than 10000 values")},
  };
  for (const auto& [args, expected] : cases) {
    std::vector<std::string> argv{"--ros-args"};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto node = spawn_node(50, argv);
    EXPECT_EQ(node->wait_exit(20s), 1) << args.back();
    const std::string err = node->stderr_text();
    if (!expected.empty()) {
      EXPECT_EQ(err, expected);
    }
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(node->stdout_text(), "") << args.back();
  }
}

// CYCLONEDDS_URI naming no readable file would leave the middleware on its
// own defaults: multicast on every interface.
TEST(NodeStartup, CycloneddsUriMustNameReadableFilesInlineXmlStaysAllowed) {
  const std::string dir = std::filesystem::temp_directory_path().string();
  const std::pair<std::string, std::string> bad[] = {
      {"file://" + dir, "Is a directory"},
      {dir + "/no_such_profile.xml", "No such file or directory"},
  };
  for (const auto& [uri, reason] : bad) {
    const auto node = spawn_node(51, {}, {"CYCLONEDDS_URI=" + uri});
    EXPECT_EQ(node->wait_exit(20s), 1) << uri;
    EXPECT_EQ(node->stderr_text(), "CYCLONEDDS_URI names '" + uri +
                                       "', which is not a readable regular file (" + reason +
                                       ")\n");
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

TEST(NodeStartup, SigintAndSigtermEndWithStatusZero) {
  for (int sig : {SIGINT, SIGTERM}) {
    DockingPeer peer(55);
    peer.start_node();
    peer.request(1, 0, 0);
    peer.wait_line("step 1 ***********");
    peer.node().send_signal(sig);
    EXPECT_EQ(peer.node().wait_exit(10s), 0) << sig;
    EXPECT_EQ(peer.node().stderr_text(), "");
  }
}

}  // namespace
