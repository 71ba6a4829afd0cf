// docking_sim and align_request on their own, as separate processes.
#include <gtest/gtest.h>

#include <chrono>

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

TEST(AlignRequest, BadUsageIsRefusedBeforeJoiningDds) {
  ChildProcess none({ALIGN_REQUEST}, dds_env(121));
  EXPECT_EQ(none.wait_exit(10s), 64);
  EXPECT_NE(none.stderr_text().find("a command is needed: dock or retry"), std::string::npos);
  ChildProcess bad({ALIGN_REQUEST, "dock", "--timeout", "-3"}, dds_env(121));
  EXPECT_EQ(bad.wait_exit(10s), 64);
  EXPECT_NE(bad.stderr_text().find("usage: align_request"), std::string::npos);
}

TEST(DockingSim, BadParameterEndsStartUpNamingIt) {
  ChildProcess sim({DOCKING_SIM, "--ros-args", "-p", "dropout:=1.5"}, dds_env(122));
  EXPECT_EQ(sim.wait_exit(10s), 1);
  EXPECT_NE(sim.stderr_text().find("parameter 'dropout' must lie in [0, 1]"), std::string::npos)
      << sim.stderr_text();
  ChildProcess nan({DOCKING_SIM, "--ros-args", "-p", "start_x:=nan"}, dds_env(122));
  EXPECT_EQ(nan.wait_exit(10s), 1);
  EXPECT_NE(nan.stderr_text().find("parameter 'start_x' must be a finite number"),
            std::string::npos)
      << nan.stderr_text();
}

TEST(DockingSim, StopsOnSigterm) {
  ChildProcess sim({DOCKING_SIM}, dds_env(123));
  ASSERT_TRUE(sim.wait_for_line_containing("docking_sim: robot at x 1.8 m", 10s));
  sim.send_signal(SIGTERM);
  EXPECT_EQ(sim.wait_exit(10s), 0);
}

}  // namespace
