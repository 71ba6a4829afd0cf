// docking_server and docking_client as processes: start-up, usage, signals.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "test_support/child_process.hpp"

namespace {

using namespace std::chrono_literals;
using test_support::ChildProcess;

ChildProcess::Options dds_env(int domain) {
  ChildProcess::Options o;
  o.set_env = {"ROS_DOMAIN_ID=" + std::to_string(domain),
               std::string("CYCLONEDDS_URI=file://") + LOOPBACK_PROFILE};
  return o;
}

size_t lines(const std::string& text) {
  size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

TEST(DockingServerCli, ABadParameterEndsStartUpWithOneLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"max_attempts:=0", "max_attempts"},
      {"max_attempts:=2.5", "max_attempts"},
      {"backoff_speed:=0.5", "backoff_speed"},
      {"staging_distance:=nan", "staging_distance"},
      {"attempt_timeout:=abc", "attempt_timeout"},
      {"controller_timeout:=-1.0", "controller_timeout"},
      {"perception_timeout:=0.1", "perception_timeout"},
      {"stage_first:=1.0", "stage_first"},
  };
  for (const auto& [assignment, name] : cases) {
    SCOPED_TRACE(assignment);
    ChildProcess server({DOCKING_SERVER, "--ros-args", "-p", assignment}, dds_env(124));
    EXPECT_EQ(server.wait_exit(20s), 1);
    const std::string err = server.stderr_text();
    EXPECT_EQ(lines(err), 1u) << err;
    EXPECT_EQ(err.rfind("docking_server: ", 0), 0u) << err;
    EXPECT_NE(err.find(name), std::string::npos) << err;
    EXPECT_EQ(server.stdout_text().find("serving"), std::string::npos);
  }
}

// Before any DDS: the profile that ends a start-up does not matter to --help.
TEST(DockingServerCli, HelpPrintsTheUsageWithoutJoiningDds) {
  ChildProcess::Options no_profile = dds_env(124);
  no_profile.set_env[1] = "CYCLONEDDS_URI=/no_such_dir/profile.xml";
  for (const char* help : {"--help", "-h"}) {
    ChildProcess server({DOCKING_SERVER, help, "--ros-args", "-p", "max_attempts:=0"}, no_profile);
    EXPECT_EQ(server.wait_exit(10s), 0) << help;
    EXPECT_EQ(server.stdout_text().rfind("usage: docking_server [-h|--help] [--ros-args", 0), 0u)
        << server.stdout_text();
    EXPECT_EQ(server.stderr_text(), "");
  }
  ChildProcess server({DOCKING_SERVER}, no_profile);
  EXPECT_EQ(server.wait_exit(20s), 1);
  EXPECT_NE(server.stderr_text().find("/no_such_dir/profile.xml"), std::string::npos)
      << server.stderr_text();
}

TEST(DockingServerCli, ServesUntilASignal) {
  for (int sig : {SIGINT, SIGTERM}) {
    ChildProcess server(
        {DOCKING_SERVER, "--ros-args", "-p", "max_attempts:=2", "-p", "stage_first:=true"},
        dds_env(125));
    ASSERT_TRUE(server.wait_for_line_containing("serving dock and undock (max_attempts 2,", 20s))
        << server.stderr_text();
    EXPECT_NE(server.stdout_text().find("stage_first true)"), std::string::npos)
        << server.stdout_text();
    server.send_signal(sig);
    EXPECT_EQ(server.wait_exit(10s), 0) << server.stderr_text();
  }
}

TEST(DockingClientCli, UsageHelpAndNoServer) {
  ChildProcess none({DOCKING_CLIENT}, dds_env(126));
  EXPECT_EQ(none.wait_exit(10s), 64);
  EXPECT_EQ(
      none.stderr_text().rfind("docking_client: a command is needed: dock or undock\nusage:", 0),
      0u)
      << none.stderr_text();

  ChildProcess help({DOCKING_CLIENT, "--help"}, dds_env(126));
  EXPECT_EQ(help.wait_exit(10s), 0);
  EXPECT_EQ(help.stdout_text().rfind("usage: docking_client dock", 0), 0u);

  const auto start = std::chrono::steady_clock::now();
  ChildProcess alone({DOCKING_CLIENT, "undock", "--server-timeout", "1"}, dds_env(126));
  EXPECT_EQ(alone.wait_exit(20s), 2);
  EXPECT_NE(alone.stdout_text().find("no docking_server: no undock action server within 1 s"),
            std::string::npos)
      << alone.stdout_text();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 15s);
}

}  // namespace
