// A docking watched and started by ros2_lite's topic verbs alone, as a person at
// another terminal would: `topic echo` of the node's real traffic, `topic pub --once`
// of the request. Domains 45-48.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "closed_loop.hpp"

namespace {

// The request align_request sends for a docking: enable 1, action 0.
const char* const kRequest = "{enable: 1}";

// Echo of the result waits while pub sends the request; the echo's end is the run's.
std::vector<std::string> options_with_ros2_lite() {
  const std::string tool = ROS2_LITE;
  auto options = program_option(
      "--start", {"cmd_vel_echo=" + tool, "topic", "echo", "--spin-time", "2", "/cmd_vel"});
  const std::string script =
      "\"$0\" topic echo --once --spin-time 2 /align_result & echo_pid=$!\n"
      "\"$0\" topic pub --once /align_request quorvane_protocol/msg/Align '" +
      std::string(kRequest) + "' || exit 9\nwait $echo_pid";
  for (const auto& o :
       program_option("--supervisor", {"topic_verbs=/bin/sh", "-c", script, tool})) {
    options.push_back(o);
  }
  return options;
}

TEST_F(ClosedLoop, TopicPubStartsADockingAndTopicEchoFollowsIt) {
  std::string failures;
  for (int domain : {45, 46, 47, 48}) {
    LoopRun& loop = start(domain, options_with_ros2_lite(), kNoiselessCamera);
    const auto status = loop.wait_exit(std::chrono::minutes(4));
    const std::string out = loop.log("topic_verbs");
    // The request went out as the real tool writes it, whatever the docking's outcome.
    EXPECT_NE(out.find("publisher: beginning loop\npublishing #1: "
                       "quorvane_protocol.msg.Align(enable=1, action=0, success=0)\n\n"),
              std::string::npos)
        << out << loop.runner_output();
    if (status == 0 && out.find("enable: 1\naction: 1\nsuccess: 1\n---\n") != std::string::npos) {
      EXPECT_EQ(loop.summary("ground_truth"), "docked") << loop.summary_text();
      EXPECT_TRUE(controller_logged("docking finish!"));
      // The velocity commands as echo printed them: many, and the approach backwards.
      const std::string commands = loop.log("cmd_vel_echo");
      std::istringstream blocks(commands);
      size_t count = 0;
      size_t backwards = 0;
      for (std::string line; std::getline(blocks, line);) {
        count += line == "---";
        backwards += std::regex_match(line, std::regex("  x: -0\\.[0-9]+(e-[0-9]+)?"));
      }
      EXPECT_GT(count, 20u) << commands;
      EXPECT_GT(backwards, 5u) << commands;
      EXPECT_TRUE(
          std::regex_search(commands, std::regex("(?:^|\n)linear:\n  x: -?[0-9.e-]+\n  y: 0\\.0\n"
                                                 "  z: 0\\.0\nangular:\n  x: 0\\.0\n"
                                                 "  y: 0\\.0\n  z: -?[0-9.e-]+\n---\n")))
          << commands.substr(0, 400);
      return;
    }
    failures += "domain " + std::to_string(domain) + ": status " +
                (status ? std::to_string(*status) : "none") + "\n" + out + "\n";
  }
  ADD_FAILURE() << "no docking started by topic pub ended docked:\n" << failures;
}

}  // namespace
