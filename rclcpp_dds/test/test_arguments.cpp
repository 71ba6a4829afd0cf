#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "arguments.hpp"
#include "rclcpp/exceptions.hpp"

namespace {

using rclcpp::ParameterValue;
using rclcpp::exceptions::InvalidNamespaceError;
using rclcpp::exceptions::InvalidNodeNameError;
using rclcpp::exceptions::InvalidTopicNameError;
using rclcpp::exceptions::RCLInvalidROSArgsError;
using rclcpp::exceptions::UnknownROSArgsError;
using rclcpp_dds::Arguments;

Arguments parse(std::vector<std::string> args) {
  args.insert(args.begin(), "prog");
  std::vector<const char*> argv;
  for (const auto& arg : args) {
    argv.push_back(arg.c_str());
  }
  return rclcpp_dds::parse_arguments(static_cast<int>(argv.size()), argv.data());
}

ParameterValue param(const std::string& value) {
  const auto overrides =
      rclcpp_dds::overrides_for(parse({"--ros-args", "-p", "x:=" + value}), "/n");
  return overrides.at("x");
}

std::string error_of(const std::vector<std::string>& args) {
  try {
    parse(args);
  } catch (const RCLInvalidROSArgsError& error) {
    return error.what();
  }
  return "no error";
}

TEST(ParseArguments, KeepsNonRosArgumentsInOrder) {
  const auto args = parse(
      {"a", "--ros-args", "-p", "x:=1", "--", "b", "--ros-args", "-r", "c:=d", "--", "--", "e"});
  EXPECT_EQ(args.non_ros_args, (std::vector<std::string>{"prog", "a", "b", "--", "e"}));
  EXPECT_EQ(args.parameter_overrides.size(), 1u);
  EXPECT_EQ(args.topic_remaps.size(), 1u);
}

TEST(ParseArguments, RosArgumentsRunToTheEndWithoutTerminator) {
  const auto args = parse({"--ros-args", "--param", "x:=1", "--ros-args", "--remap", "a:=b"});
  EXPECT_EQ(args.non_ros_args, std::vector<std::string>{"prog"});
  EXPECT_EQ(args.parameter_overrides.size(), 1u);
  EXPECT_EQ(args.topic_remaps.size(), 1u);
}

TEST(ParseArguments, ReportsEveryUnknownRosArgument) {
  try {
    parse({"--ros-args", "--foo", "-p", "x:=1", "bar", "--", "--baz"});
    FAIL() << "expected UnknownROSArgsError";
  } catch (const UnknownROSArgsError& error) {
    EXPECT_STREQ(error.what(), "found unknown ROS arguments: '--foo', 'bar'");
    EXPECT_EQ(error.unknown_ros_args, (std::vector<std::string>{"--foo", "bar"}));
  }
}

TEST(ParseArguments, MalformedArgumentsNameTheCulprit) {
  EXPECT_EQ(error_of({"--ros-args", "-p"}),
            "Couldn't parse trailing -p flag. No parameter override rule found.");
  EXPECT_EQ(error_of({"--ros-args", "--params-file"}),
            "Couldn't parse trailing --params-file flag. No file path provided.");
  EXPECT_EQ(error_of({"--ros-args", "-r"}),
            "Couldn't parse trailing -r flag. No remap rule found.");
  EXPECT_EQ(error_of({"--ros-args", "--log-level"}),
            "Couldn't parse trailing --log-level flag. No log level provided.");
  EXPECT_EQ(error_of({"--ros-args", "-p", "trigger_mode"}),
            "Couldn't parse parameter override rule: '-p trigger_mode'. Error: expected "
            "'name:=value'");
  EXPECT_NE(error_of({"--ros-args", "-p", ":=4"}).find("'-p :=4'. Error: empty parameter name"),
            std::string::npos);
  EXPECT_NE(error_of({"--ros-args", "-p", "x:="}).find("no value for parameter 'x'"),
            std::string::npos);
  EXPECT_NE(error_of({"--ros-args", "-p", "a b:=1"}).find("invalid parameter name 'a b'"),
            std::string::npos);
  EXPECT_NE(error_of({"--ros-args", "-p", "x:=[1, 2.0]"}).find("Sequence should be of same type"),
            std::string::npos);
  EXPECT_NE(error_of({"--ros-args", "-p", "x:=[]"}).find("Empty sequence"), std::string::npos);
  EXPECT_NE(error_of({"--ros-args", "-p", "x:={a: 1}"}).find("A map is not a parameter value"),
            std::string::npos);
  EXPECT_NE(error_of({"--ros-args", "-p", "x:=[1"}).find("'-p x:=[1'. Error: "), std::string::npos);
}

TEST(ParseArguments, MalformedArgumentWinsOverUnknownOnes) {
  EXPECT_THROW(parse({"--ros-args", "--foo", "-p", "novalue"}), RCLInvalidROSArgsError);
}

TEST(ParameterTyping, IntegersAsStrtollWithBaseZero) {
  EXPECT_EQ(param("4"), ParameterValue(4));
  EXPECT_EQ(param("-7"), ParameterValue(-7));
  EXPECT_EQ(param("+3"), ParameterValue(3));
  EXPECT_EQ(param("0x1F"), ParameterValue(31));
  EXPECT_EQ(param("010"), ParameterValue(8));
  EXPECT_EQ(param("9223372036854775807"), ParameterValue(INT64_MAX));
}

TEST(ParameterTyping, Doubles) {
  EXPECT_EQ(param("4.0"), ParameterValue(4.0));
  EXPECT_EQ(param("1e3"), ParameterValue(1000.0));
  EXPECT_EQ(param("-.5"), ParameterValue(-0.5));
  // Too large for int64: rcl falls back to a double.
  EXPECT_EQ(param("9223372036854775808"), ParameterValue(9223372036854775808.0));
  EXPECT_EQ(param(".inf").get<double>(), INFINITY);
  EXPECT_EQ(param("-.Inf").get<double>(), -INFINITY);
  EXPECT_EQ(param("inf").get<double>(), INFINITY);
  EXPECT_TRUE(std::isnan(param("nan").get<double>()));
  EXPECT_TRUE(std::isnan(param(".NaN").get<double>()));
}

TEST(ParameterTyping, BooleanWordsInThreeCases) {
  for (const char* word : {"true", "True", "TRUE", "yes", "Yes", "YES", "on", "On", "ON", "y"}) {
    EXPECT_EQ(param(word), ParameterValue(true)) << word;
  }
  for (const char* word : {"false", "False", "FALSE", "no", "NO", "off", "Off", "n", "N"}) {
    EXPECT_EQ(param(word), ParameterValue(false)) << word;
  }
  EXPECT_EQ(param("tRUE"), ParameterValue("tRUE"));
}

TEST(ParameterTyping, QuotedAndOtherTextAreStrings) {
  EXPECT_EQ(param("'4'"), ParameterValue("4"));
  EXPECT_EQ(param("\"true\""), ParameterValue("true"));
  EXPECT_EQ(param("''"), ParameterValue(""));
  EXPECT_EQ(param("!!str 4.0"), ParameterValue("4.0"));
  EXPECT_EQ(param("!!float 4"), ParameterValue(4));
  EXPECT_EQ(param("4.0m"), ParameterValue("4.0m"));
  EXPECT_EQ(param("hello world"), ParameterValue("hello world"));
  EXPECT_EQ(param("a:=b"), ParameterValue("a:=b"));
  EXPECT_EQ(param("~"), ParameterValue("~"));
  EXPECT_EQ(param("null"), ParameterValue("null"));
}

TEST(ParameterTyping, SequencesOfOneType) {
  EXPECT_EQ(param("[1, 2]"), ParameterValue(std::vector<int64_t>{1, 2}));
  EXPECT_EQ(param("[1.5, 2.0]"), ParameterValue(std::vector<double>{1.5, 2.0}));
  EXPECT_EQ(param("[true, off]"), ParameterValue(std::vector<bool>{true, false}));
  EXPECT_EQ(param("[a, '1']"), ParameterValue(std::vector<std::string>{"a", "1"}));
}

TEST(ParseArguments, LogLevelsAndSwitches) {
  const auto args =
      parse({"--ros-args", "--log-level", "DEBUG", "--log-level", "rclcpp:=Warn",
             "--disable-stdout-logs", "--disable-rosout-logs", "--enable-external-lib-logs",
             "--log-config-file", "log.conf", "-e", "/enclave", "--log-file-name", "prefix"});
  EXPECT_EQ(args.log_level, "debug");
  EXPECT_EQ(args.logger_levels.at("rclcpp"), "warn");
  EXPECT_FALSE(args.log_stdout);
  EXPECT_FALSE(args.log_rosout);
  EXPECT_TRUE(args.log_external_lib);
  EXPECT_EQ(args.log_config_file, "log.conf");
  EXPECT_EQ(args.enclave, "/enclave");
  EXPECT_NE(error_of({"--ros-args", "--log-level", "loud"}).find("valid severity level"),
            std::string::npos);
  EXPECT_NE(error_of({"--ros-args", "--log-level", ":=info"}).find("name is empty"),
            std::string::npos);
}

TEST(ParseArguments, MalformedRemapRules) {
  EXPECT_NE(error_of({"--ros-args", "-r", "cmd_vel"}).find("'-r cmd_vel'. Error: expected"),
            std::string::npos);
  for (const char* rule : {"__ns:=robot1", "__ns:=//", "__ns:=/a//b", "__ns:=/1a"}) {
    EXPECT_NE(error_of({"--ros-args", "-r", rule}).find("fully qualified"), std::string::npos)
        << rule;
  }
  EXPECT_NE(error_of({"--ros-args", "-r", "__node:=1bad"}).find("must not start with a number"),
            std::string::npos);
  EXPECT_NE(error_of({"--ros-args", "-r", "/a/*:=/b"}).find("Wildcard '*'"), std::string::npos);
  EXPECT_NE(error_of({"--ros-args", "-r", "a:=b c"}).find("invalid replacement name"),
            std::string::npos);
  EXPECT_NE(error_of({"--ros-args", "-r", "a:=/9b"}).find("invalid replacement name"),
            std::string::npos);
  EXPECT_NE(error_of({"--ros-args", "-r", "a:="}).find("empty replacement"), std::string::npos);
  EXPECT_NE(error_of({"--ros-args", "-r", "bad-node:a:=b"}).find("invalid node name"),
            std::string::npos);
}

TEST(OverridesFor, LaterValueForTheSameKeyWins) {
  const auto args = parse({"--ros-args", "-p", "x:=1", "-p", "y:=2", "-p", "x:=3.0"});
  const auto overrides = rclcpp_dds::overrides_for(args, "/align_controller");
  EXPECT_EQ(overrides.at("x"), ParameterValue(3.0));
  EXPECT_EQ(overrides.at("y"), ParameterValue(2));
}

TEST(OverridesFor, NodePrefixSelectsTheNode) {
  const auto args = parse({"--ros-args", "-p", "other:x:=1", "-p", "align_controller:y:=2"});
  EXPECT_EQ(rclcpp_dds::overrides_for(args, "/align_controller").count("x"), 0u);
  EXPECT_EQ(rclcpp_dds::overrides_for(args, "/align_controller").at("y"), ParameterValue(2));
  EXPECT_EQ(rclcpp_dds::overrides_for(args, "/other").at("x"), ParameterValue(1));
  // A bare node name only names a node of the root namespace.
  EXPECT_TRUE(rclcpp_dds::overrides_for(args, "/robot1/align_controller").empty());
}

TEST(OverridesFor, KeysKeepTheOrderOfTheirFirstAppearance) {
  // rcl groups values by key: the node's own key, first seen after "/**", wins even over a
  // later "/**" value.
  const auto args =
      parse({"--ros-args", "-p", "x:=1", "-p", "align_controller:x:=2", "-p", "x:=3"});
  EXPECT_EQ(rclcpp_dds::overrides_for(args, "/align_controller").at("x"), ParameterValue(2));
}

TEST(ResolveTopic, ExpandsAgainstTheNode) {
  const Arguments none;
  EXPECT_EQ(rclcpp_dds::resolve_topic(none, "cmd_vel", "n", "/"), "/cmd_vel");
  EXPECT_EQ(rclcpp_dds::resolve_topic(none, "cmd_vel", "n", "/robot1"), "/robot1/cmd_vel");
  EXPECT_EQ(rclcpp_dds::resolve_topic(none, "/cmd_vel", "n", "/robot1"), "/cmd_vel");
  EXPECT_EQ(rclcpp_dds::resolve_topic(none, "~/status", "n", "/robot1"), "/robot1/n/status");
  EXPECT_EQ(rclcpp_dds::resolve_topic(none, "~", "n", "/"), "/n");
  EXPECT_EQ(rclcpp_dds::resolve_topic(none, "{node}/x", "n", "/a"), "/a/n/x");
}

TEST(ResolveTopic, RemapsResolvedNamesFirstMatchWins) {
  const auto args = parse({"--ros-args", "-r", "/cmd_vel:=/robot1/cmd_vel", "-r", "other:odom:=/x",
                           "-r", "odom:=wheel_odom", "-r", "odom:=/late"});
  EXPECT_EQ(rclcpp_dds::resolve_topic(args, "/cmd_vel", "n", "/"), "/robot1/cmd_vel");
  EXPECT_EQ(rclcpp_dds::resolve_topic(args, "cmd_vel", "n", "/"), "/robot1/cmd_vel");
  EXPECT_EQ(rclcpp_dds::resolve_topic(args, "cmd_vel", "n", "/ns"), "/ns/cmd_vel");
  EXPECT_EQ(rclcpp_dds::resolve_topic(args, "odom", "n", "/ns"), "/ns/wheel_odom");
  EXPECT_EQ(rclcpp_dds::resolve_topic(args, "/odom", "other", "/"), "/x");
}

TEST(ResolveTopic, RejectsInvalidNames) {
  const Arguments none;
  for (const char* name : {"", "1abc", "a//b", "a b", "foo/", "~foo", "a/~", "{bad", "a/2b"}) {
    EXPECT_THROW(rclcpp_dds::resolve_topic(none, name, "n", "/"), InvalidTopicNameError) << name;
  }
  const auto args = parse({"--ros-args", "-r", "a:=/" + std::string(250, 'x')});
  EXPECT_THROW(rclcpp_dds::resolve_topic(args, "a", "n", "/"), InvalidTopicNameError);
  try {
    rclcpp_dds::resolve_topic(none, "a b", "n", "/");
  } catch (const InvalidTopicNameError& error) {
    EXPECT_EQ(error.invalid_index, 1u);
    EXPECT_NE(std::string(error.what()).find("Invalid topic name: topic name must not contain"),
              std::string::npos);
  }
}

TEST(NodeNameAndNamespace, RemapsAndNormalises) {
  const auto args = parse({"--ros-args", "-r", "other:__node:=x", "-r", "__name:=renamed", "-r",
                           "__node:=ignored", "-r", "__ns:=/robot1/"});
  EXPECT_EQ(rclcpp_dds::node_name_for(args, "align_controller"), "renamed");
  EXPECT_EQ(rclcpp_dds::node_name_for(args, "other"), "x");
  EXPECT_EQ(rclcpp_dds::node_namespace_for(args, "", "align_controller"), "/robot1");
  const Arguments none;
  EXPECT_EQ(rclcpp_dds::node_namespace_for(none, "", "n"), "/");
  EXPECT_EQ(rclcpp_dds::node_namespace_for(none, "a/b", "n"), "/a/b");
  EXPECT_THROW(rclcpp_dds::node_namespace_for(none, "/a/", "n"), InvalidNamespaceError);
  EXPECT_THROW(rclcpp_dds::node_name_for(none, "my-node"), InvalidNodeNameError);
  EXPECT_THROW(rclcpp_dds::node_name_for(none, ""), InvalidNodeNameError);
}

}  // namespace
