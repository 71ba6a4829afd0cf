// docking_sim and align_request on their own, as separate processes.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>

#include "process_env.hpp"

namespace {

using namespace std::chrono_literals;
using test_support::ChildProcess;
using tools_test::dds_env;

TEST(AlignRequest, NoControllerMeansNoResult) {
  ChildProcess request({ALIGN_REQUEST, "dock", "--timeout", "2"}, dds_env(120));
  EXPECT_EQ(request.wait_exit(30s), 2);
  EXPECT_NE(request.stdout_text().find("no result: no align_controller answered"),
            std::string::npos)
      << request.stdout_text();
}

// Its own status for each way out that a script must tell apart.
TEST(AlignRequest, HelpAndMiddlewareFailuresHaveTheirOwnExitStatus) {
  auto env = [](const std::string& name, const std::string& value) {
    ChildProcess::Options o = dds_env(121);
    for (auto& v : o.set_env) {
      if (v.rfind(name + "=", 0) == 0) v = name + "=" + value;
    }
    return o;
  };
  const auto no_profile = env("CYCLONEDDS_URI", "/no_such_dir/profile.xml");
  for (const char* help : {"--help", "-h"}) {
    ChildProcess request({ALIGN_REQUEST, "dock", help}, no_profile);
    EXPECT_EQ(request.wait_exit(10s), 0) << help;
    EXPECT_EQ(request.stdout_text().rfind("usage: align_request dock|retry", 0), 0u);
    EXPECT_NE(request.stdout_text().find("4 retry check not refused within the timeout,\n64 bad "
                                         "usage, 69 middleware failure"),
              std::string::npos)
        << request.stdout_text();
  }
  for (const auto& broken : {no_profile, env("ROS_DOMAIN_ID", "999")}) {
    ChildProcess request({ALIGN_REQUEST, "dock", "--timeout", "2"}, broken);
    EXPECT_EQ(request.wait_exit(20s), 69) << request.stderr_text();
    // rcl logs its own lines ahead of ours.
    EXPECT_NE(request.stderr_text().find("align_request: "), std::string::npos)
        << request.stderr_text();
    EXPECT_EQ(request.stdout_text(), "");
  }
  // A malformed --ros-args stays bad usage.
  ChildProcess bad_ros_args({ALIGN_REQUEST, "dock", "--ros-args", "-p"}, dds_env(121));
  EXPECT_EQ(bad_ros_args.wait_exit(10s), 64) << bad_ros_args.stderr_text();
}

TEST(AlignRequest, BadUsageIsRefusedBeforeJoiningDds) {
  ChildProcess none({ALIGN_REQUEST}, dds_env(121));
  EXPECT_EQ(none.wait_exit(10s), 64);
  EXPECT_NE(none.stderr_text().find("a command is needed: dock or retry"), std::string::npos);
  ChildProcess bad({ALIGN_REQUEST, "dock", "--timeout", "-3"}, dds_env(121));
  EXPECT_EQ(bad.wait_exit(10s), 64);
  EXPECT_NE(bad.stderr_text().find("usage: align_request"), std::string::npos);
}

// Values that cannot be meant end the start-up with one line naming the value.
TEST(DockingSim, UnworkableValuesAndHelp) {
  const std::pair<std::string, std::string> refused[] = {
      {"cmd_timeout:=-1.0", "parameter 'cmd_timeout' must not be negative, got -1"},
      {"field_of_view:=10.0", "parameter 'field_of_view' must lie in (0, 2 pi], got 10"},
      {"field_of_view:=0.0", "parameter 'field_of_view' must be greater than 0, got 0"},
      {"max_angular_accel:=0.0", "parameter 'max_angular_accel' must be greater than 0, got 0"},
      {"max_linear_accel:=-0.5", "parameter 'max_linear_accel' must be greater than 0, got -0.5"},
      {"dropout:=1.5", "parameter 'dropout' must lie in [0, 1], got 1.5"},
      {"start_x:=nan", "parameter 'start_x' must be a finite number, got nan"},
  };
  for (const auto& [assignment, line] : refused) {
    ChildProcess sim({DOCKING_SIM, "--ros-args", "-p", assignment}, dds_env(122));
    EXPECT_EQ(sim.wait_exit(10s), 1) << assignment;
    EXPECT_EQ(sim.stderr_text(), "docking_sim: " + line + "\n");
  }
  // What can be meant still starts: no watchdog, a camera that sees all around.
  ChildProcess open({DOCKING_SIM, "--ros-args", "-p", "cmd_timeout:=0.0", "-p",
                     "field_of_view:=6.283185307179586"},
                    dds_env(122));
  EXPECT_TRUE(open.wait_for_line_containing("docking_sim: robot at x 1.8 m", 10s))
      << open.stderr_text();
  open.send_signal(SIGTERM);
  EXPECT_EQ(open.wait_exit(10s), 0);

  ChildProcess help({DOCKING_SIM, "--help", "--ros-args", "-p", "dropout:=1.5"}, dds_env(122));
  EXPECT_EQ(help.wait_exit(10s), 0);
  EXPECT_EQ(help.stdout_text().rfind("usage: docking_sim [-h|--help]", 0), 0u);
  EXPECT_EQ(help.stderr_text(), "");
}

TEST(DockingSim, StopsOnSigterm) {
  ChildProcess sim({DOCKING_SIM}, dds_env(123));
  ASSERT_TRUE(sim.wait_for_line_containing("docking_sim: robot at x 1.8 m", 10s));
  sim.send_signal(SIGTERM);
  EXPECT_EQ(sim.wait_exit(10s), 0);
}

}  // namespace
