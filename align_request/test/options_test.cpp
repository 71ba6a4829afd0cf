#include "align_request/options.hpp"

#include <gtest/gtest.h>

namespace align_request {
namespace {

std::optional<std::string> parse(const std::vector<std::string>& args, Options& o) {
  o = Options{};
  return parse_options(args, o);
}

TEST(ParseOptions, CommandsAndTimeout) {
  Options o;
  ASSERT_FALSE(parse({"dock"}, o));
  EXPECT_EQ(o.command, Command::kDock);
  EXPECT_DOUBLE_EQ(o.timeout, 90.0);
  ASSERT_FALSE(parse({"retry", "--timeout", "5"}, o));
  EXPECT_EQ(o.command, Command::kRetry);
  EXPECT_DOUBLE_EQ(o.timeout, 5.0);
  ASSERT_FALSE(parse({"--timeout=2.5", "dock"}, o));
  EXPECT_DOUBLE_EQ(o.timeout, 2.5);
  ASSERT_FALSE(parse({"--help"}, o));
  EXPECT_TRUE(o.help);
}

// Shared with docking_server, whose only own arguments are these.
TEST(HelpAsked, OnlyAmongTheProgramsOwnArguments) {
  const std::pair<std::vector<std::string>, bool> cases[] = {
      {{"--help"}, true},
      {{"dock", "-h"}, true},
      {{}, false},
      {{"-hx", "--helps", "help"}, false},
      {{"--ros-args", "-h"}, false},  // rclcpp's to judge
      {{"--ros-args", "--params-file", "--help"}, false},
      {{"--ros-args", "-p", "a:=1", "--", "--help"}, true},
      {{"--ros-args", "--", "--ros-args", "-h"}, false},
  };
  for (const auto& [args, asked] : cases) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_EQ(help_asked(args), asked) << joined;
  }
}

TEST(ParseOptions, RetryOptions) {
  Options o;
  ASSERT_FALSE(parse({"dock"}, o));
  EXPECT_EQ(o.attempts, 3);
  EXPECT_DOUBLE_EQ(o.staging_distance, 1.5);
  EXPECT_DOUBLE_EQ(o.backoff_speed, 0.1);
  ASSERT_FALSE(
      parse({"dock", "--attempts", "1", "--staging-distance=2", "--backoff-speed", "0.2"}, o));
  EXPECT_EQ(o.attempts, 1);
  EXPECT_DOUBLE_EQ(o.staging_distance, 2.0);
  EXPECT_DOUBLE_EQ(o.backoff_speed, 0.2);
  EXPECT_EQ(*parse({"dock", "--backoff-speed", "0.25"}, o),
            "--backoff-speed must be at most 0.2 m/s, got '0.25'");
  EXPECT_EQ(*parse({"dock", "--attempts", "101"}, o),
            "--attempts must be at most 100 attempts, got '101'");
  for (const std::string bad : {"0", "1.5", "-2", "nan", ""}) {
    EXPECT_EQ(*parse({"dock", "--attempts", bad}, o),
              "--attempts needs a whole number of attempts, got '" + bad + "'");
  }
  for (const std::string bad : {"0", "-1", "inf", "fast"}) {
    EXPECT_EQ(*parse({"dock", "--backoff-speed", bad}, o),
              "--backoff-speed needs a positive speed in m/s, got '" + bad + "'");
  }
  EXPECT_EQ(*parse({"dock", "--staging-distance"}, o), "--staging-distance needs a value");

  EXPECT_DOUBLE_EQ(Options().perception_timeout, 1.0);
  ASSERT_FALSE(parse({"dock", "--perception-timeout=0.5"}, o));
  EXPECT_DOUBLE_EQ(o.perception_timeout, 0.5);
  ASSERT_FALSE(parse({"dock", "--perception-timeout", "10"}, o));
  EXPECT_DOUBLE_EQ(o.perception_timeout, 10.0);
  for (const std::string bad : {"0.1", "0", "-1", "nan"}) {
    EXPECT_EQ(*parse({"dock", "--perception-timeout", bad}, o),
              "--perception-timeout needs a number of seconds above 0.1, got '" + bad + "'");
  }
  EXPECT_EQ(*parse({"dock", "--perception-timeout", "10.5"}, o),
            "--perception-timeout must be at most 10 seconds, got '10.5'");
}

// A flag without a value: a value glued to it is an unknown argument, not a silent false.
TEST(ParseOptions, StageFirstIsAFlag) {
  Options o;
  ASSERT_FALSE(parse({"dock"}, o));
  EXPECT_FALSE(o.stage_first);
  ASSERT_FALSE(parse({"--stage-first", "dock", "--attempts", "2"}, o));
  EXPECT_TRUE(o.stage_first);
  EXPECT_EQ(o.attempts, 2);
  EXPECT_EQ(*parse({"dock", "--stage-first=false"}, o), "unknown argument '--stage-first=false'");
  ASSERT_FALSE(parse({"dock", "--ros-args", "--stage-first"}, o));
  EXPECT_FALSE(o.stage_first) << "rclcpp's block";
}

TEST(ParseOptions, RosArgumentsAreLeftToRclcpp) {
  Options o;
  ASSERT_FALSE(parse({"dock", "--ros-args", "-r", "__ns:=/robot1", "--", "--timeout", "3"}, o));
  EXPECT_DOUBLE_EQ(o.timeout, 3.0);
  // Up to the end of the line when no "--" closes the block.
  ASSERT_FALSE(parse({"retry", "--ros-args", "--timeout", "x"}, o));
  EXPECT_EQ(o.command, Command::kRetry);
  EXPECT_DOUBLE_EQ(o.timeout, 90.0);
}

TEST(ParseOptions, BadInputIsNamed) {
  Options o;
  EXPECT_EQ(*parse({}, o), "a command is needed: dock or retry");
  EXPECT_EQ(*parse({"undock"}, o), "unknown argument 'undock'");
  EXPECT_EQ(*parse({"dock", "retry"}, o), "only one command is allowed, got 'retry' as well");
  EXPECT_EQ(*parse({"dock", "--timeout"}, o), "--timeout needs a value");
  EXPECT_EQ(*parse({"dock", "--timeout", "1e300"}, o),
            "--timeout must be at most 1000000 seconds, got '1e300'");
  for (const std::string bad : {"0", "-1", "nan", "inf", "5s", ""}) {
    EXPECT_EQ(*parse({"dock", "--timeout", bad}, o),
              "--timeout needs a positive number of seconds, got '" + bad + "'");
  }
}

TEST(InterpretResult, ExitStatusFollowsTheResult) {
  EXPECT_EQ(interpret_result(Command::kDock, 1, 1, 1).exit_status, kExitDocked);
  EXPECT_EQ(interpret_result(Command::kDock, 1, 1, 1).text, "docked: result (1, 1, 1)");
  EXPECT_EQ(interpret_result(Command::kDock, 1, 1, 0).exit_status, kExitFailed);
  EXPECT_EQ(interpret_result(Command::kDock, 1, 1, 0).text, "docking failed: result (1, 1, 0)");
  EXPECT_EQ(interpret_result(Command::kRetry, 1, 1, 0).text, "retry refused: result (1, 1, 0)");
  // Anything else is never taken for a success.
  EXPECT_EQ(interpret_result(Command::kRetry, 1, 1, 1).exit_status, kExitFailed);
  EXPECT_EQ(interpret_result(Command::kDock, 0, 1, 1).exit_status, kExitFailed);
  EXPECT_EQ(interpret_result(Command::kDock, 1, 0, 1).text, "unexpected result (1, 0, 1)");
}

}  // namespace
}  // namespace align_request
