// docking_client's command line and what it prints, without the middleware.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "docking_server/client_options.hpp"
#include "docking_server/client_report.hpp"

namespace docking_server {
namespace {

TEST(ClientOptions, CommandsAndTheirValues) {
  ClientOptions o;
  ASSERT_EQ(parse_client_options({"dock"}, o), std::nullopt);
  EXPECT_EQ(o.command, ClientOptions::Command::kDock);
  EXPECT_EQ(o.max_attempts, 0) << "the server's parameter";
  EXPECT_EQ(o.staging_distance, 0.0);

  o = {};
  ASSERT_EQ(
      parse_client_options({"--max-attempts", "5", "dock", "--staging-distance=1.2", "--ros-args",
                            "-r", "dock:=/robot1/dock", "--", "--server-timeout", "2.5"},
                           o),
      std::nullopt);
  EXPECT_EQ(o.max_attempts, 5);
  EXPECT_DOUBLE_EQ(o.staging_distance, 1.2);
  EXPECT_DOUBLE_EQ(o.server_timeout, 2.5);

  o = {};
  ASSERT_EQ(parse_client_options({"undock", "--staging-distance", "3"}, o), std::nullopt);
  EXPECT_EQ(o.command, ClientOptions::Command::kUndock);
  EXPECT_DOUBLE_EQ(o.staging_distance, 3.0);

  o = {};
  ASSERT_EQ(parse_client_options({"--help"}, o), std::nullopt);
  EXPECT_TRUE(o.help);
}

TEST(ClientOptions, BadInputIsNamed) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "a command is needed: dock or undock"},
      {{"park"}, "unknown argument 'park'"},
      {{"dock", "undock"}, "only one command is allowed, got 'undock' as well"},
      {{"dock", "--max-attempts"}, "--max-attempts needs a value"},
      {{"dock", "--max-attempts", "0"},
       "--max-attempts needs a whole number from 1 to 100, got '0'"},
      {{"dock", "--max-attempts", "2.5"}, "--max-attempts needs a whole number from 1 to 100"},
      {{"dock", "--staging-distance", "nan"}, "--staging-distance needs a number from 0.5 to 3"},
      {{"dock", "--staging-distance=4"}, "--staging-distance needs a number from 0.5 to 3"},
      {{"dock", "--staging-distance", "1m"}, "got '1m'"},
      {{"dock", "--server-timeout", "-1"}, "--server-timeout needs a number"},
      {{"undock", "--max-attempts", "2"}, "--max-attempts is for dock only"},
  };
  for (const auto& [args, error] : cases) {
    ClientOptions o;
    const auto got = parse_client_options(args, o);
    ASSERT_TRUE(got.has_value()) << error;
    EXPECT_NE(got->find(error), std::string::npos) << *got;
  }
}

TEST(ClientReport, FeedbackAndResultLines) {
  Dock::Feedback f;
  f.attempt = 2;
  f.max_attempts = 3;
  f.state = Dock::Feedback::RETRY_CHECK;
  f.elapsed.sec = 61;
  f.elapsed.nanosec = 250000000;
  EXPECT_EQ(feedback_line(f), "  61.2 s  attempt 2 of 3, retry check: station not in view");
  f.pose_known = true;
  f.distance = 0.8f;
  f.lateral_offset = -0.012f;
  f.heading = 0.05f;
  EXPECT_EQ(feedback_line(f),
            "  61.2 s  attempt 2 of 3, retry check: 0.80 m from the station, -1.2 cm off the "
            "axis, heading 2.9 deg");

  Dock::Result r;
  r.success = true;
  r.num_attempts = 1;
  r.pose_known = true;
  r.distance = 0.12f;
  EXPECT_EQ(result_line(r, GoalEnd::kSucceeded),
            "docked; 1 attempt; 0.12 m from the station, 0.0 cm off the axis, heading 0.0 deg");
  r.success = false;
  r.error_code = Dock::Result::PERCEPTION_FROZEN;
  r.error_msg = "retry refused";
  r.num_attempts = 2;
  EXPECT_EQ(result_line(r, GoalEnd::kAborted)
                .rfind("not docked: PERCEPTION_FROZEN (2): retry refused; 2 attempts; 0.12 m", 0),
            0u);
  r.error_code = Dock::Result::CANCELED;
  EXPECT_EQ(result_line(r, GoalEnd::kCanceled).rfind("canceled; 2 attempts", 0), 0u);
  EXPECT_EQ(error_name(99), "error 99");
  r.error_code = Dock::Result::STATION_NOT_IN_VIEW;
  r.error_msg = "station not in view: not found turning 0.45 rad in 2.1 s";
  r.pose_known = false;
  EXPECT_EQ(result_line(r, GoalEnd::kAborted),
            "not docked: STATION_NOT_IN_VIEW (7): station not in view: not found turning 0.45 rad "
            "in 2.1 s; 2 attempts; station not in view");
  f.state = Dock::Feedback::SEARCHING;
  f.pose_known = false;
  EXPECT_EQ(feedback_line(f), "  61.2 s  attempt 2 of 3, searching: station not in view");

  Undock::Result u;
  u.distance = -1.0f;
  u.error_code = Undock::Result::BACKOFF_STOPPED;
  u.error_msg = "cannot undock";
  EXPECT_EQ(result_line(u, GoalEnd::kAborted),
            "not undocked: BACKOFF_STOPPED (3): cannot undock; station not in view");
  Undock::Feedback uf;
  uf.distance = 0.75f;
  EXPECT_EQ(feedback_line(uf, 3.04), "   3.0 s  undocking: 0.75 m from the station");
}

}  // namespace
}  // namespace docking_server
