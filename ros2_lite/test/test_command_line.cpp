#include <gtest/gtest.h>

#include "command_line.hpp"

namespace {

using ros2_lite::parse_command;
using ros2_lite::UsageError;

const ros2_lite::CommandSpec kSpec{
    "ros2_lite node info", {{"--spin-time", "", "SPIN_TIME"}, {"--all", "-a", ""}}, {"node_name"}};

TEST(CommandLine, SwitchesValuesAndPositionals) {
  auto parsed = parse_command(kSpec, {"-a", "/talker", "--spin-time", "2"});
  EXPECT_TRUE(parsed.has("--all"));
  EXPECT_EQ(parsed.values.at("--spin-time"), "2");
  EXPECT_EQ(parsed.positionals.at("node_name"), "/talker");
  parsed = parse_command(kSpec, {"--spin-time=0.1", "/x"});
  EXPECT_FALSE(parsed.has("--all"));
  EXPECT_EQ(parsed.values.at("--spin-time"), "0.1");
  EXPECT_EQ(ros2_lite::usage_line(kSpec),
            "usage: ros2_lite node info [-h] [--spin-time SPIN_TIME] [-a] node_name");
}

TEST(CommandLine, MistakesAreUsageErrors) {
  const auto error_of = [](const std::vector<std::string>& args) {
    try {
      parse_command(kSpec, args);
    } catch (const UsageError& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_EQ(error_of({}), "the following arguments are required: node_name");
  EXPECT_EQ(error_of({"/a", "/b"}), "unrecognized arguments: /b");
  EXPECT_EQ(error_of({"/a", "--bogus"}), "unrecognized arguments: --bogus");
  EXPECT_EQ(error_of({"/a", "--spin-time"}),
            "argument --spin-time/SPIN_TIME: expected one argument");
  EXPECT_THROW(parse_command(kSpec, {"-h"}), ros2_lite::HelpRequested);
}

}  // namespace
