// The command line: ROS argument blocks, parameter overrides with their
// typing, parameter files, remapping and names; and the parameter store.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "arguments.hpp"
#include "parameter_store.hpp"
#include "parameter_yaml.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp/parameter.hpp"
#include "thrown.hpp"

namespace {

using rclcpp::exceptions::InvalidNamespaceError;
using rclcpp::exceptions::InvalidNodeNameError;
using rclcpp::exceptions::InvalidParametersException;
using rclcpp::exceptions::InvalidParameterTypeException;
using rclcpp::exceptions::InvalidTopicNameError;
using rclcpp::exceptions::ParameterAlreadyDeclaredException;
using rclcpp::exceptions::RCLInvalidROSArgsError;
using rclcpp::exceptions::UnknownROSArgsError;
using rclcpp_dds::Arguments;
using rclcpp_dds::ParameterStore;
using V = rclcpp::ParameterValue;
using Descriptor = rcl_interfaces::msg::ParameterDescriptor;

Arguments parse(std::vector<std::string> args) {
  args.insert(args.begin(), "prog");
  std::vector<const char*> argv;
  for (const auto& arg : args) {
    argv.push_back(arg.c_str());
  }
  return rclcpp_dds::parse_arguments(static_cast<int>(argv.size()), argv.data());
}

V param(const std::string& value) {
  const auto overrides =
      rclcpp_dds::overrides_for(parse({"--ros-args", "-p", "x:=" + value}), "/n");
  return overrides.at("x");
}

std::string error_of(const std::vector<std::string>& args) {
  return what<RCLInvalidROSArgsError>([&] { parse(args); });
}

TEST(ParseArguments, SplitsRosArgumentBlocksFromTheProgramsArguments) {
  const auto args = parse(
      {"a", "--ros-args", "-p", "x:=1", "--", "b", "--ros-args", "-r", "c:=d", "--", "--", "e"});
  EXPECT_EQ(args.non_ros_args, (std::vector<std::string>{"prog", "a", "b", "--", "e"}));
  EXPECT_EQ(args.parameter_overrides.size(), 1u);
  EXPECT_EQ(args.topic_remaps.size(), 1u);
  // Without a terminator ROS arguments run to the end; logging switches take
  // their own arguments.
  const auto open = parse(
      {"--ros-args", "--param", "x:=1", "--ros-args", "--remap", "a:=b", "--log-level", "DEBUG",
       "--log-level", "rclcpp:=Warn", "--disable-stdout-logs", "--enable-external-lib-logs",
       "--log-config-file", "log.conf", "-e", "/enclave", "--log-file-name", "prefix"});
  EXPECT_EQ(open.non_ros_args, std::vector<std::string>{"prog"});
  EXPECT_EQ(open.parameter_overrides.size(), 1u);
  EXPECT_EQ(open.topic_remaps.size(), 1u);
  EXPECT_EQ(open.log_level, "debug");
  EXPECT_EQ(open.logger_levels.at("rclcpp"), "warn");
  EXPECT_EQ(open.enclave, "/enclave");
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
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-p", ":=4"}, "'-p :=4'. Error: empty parameter name"},
      {{"-p", "x:="}, "no value for parameter 'x'"},
      {{"-p", "a b:=1"}, "invalid parameter name 'a b'"},
      {{"-p", "x:=[1, 2.0]"}, "Sequence should be of same type"},
      {{"-p", "x:=[]"}, "Empty sequence"},
      {{"-p", "x:={a: 1}"}, "A map is not a parameter value"},
      {{"-p", "x:=[1"}, "'-p x:=[1'. Error: "},
      {{"--log-level", "loud"}, "valid severity level"},
      {{"--log-level", ":=info"}, "name is empty"},
      {{"-r", "cmd_vel"}, "'-r cmd_vel'. Error: expected"},
      {{"-r", "__ns:=robot1"}, "fully qualified"},
      {{"-r", "__ns:=//"}, "fully qualified"},
      {{"-r", "__ns:=/a//b"}, "fully qualified"},
      {{"-r", "__ns:=/1a"}, "fully qualified"},
      {{"-r", "__node:=1bad"}, "must not start with a number"},
      {{"-r", "/a/*:=/b"}, "Wildcard '*'"},
      {{"-r", "a:=b c"}, "invalid replacement name"},
      {{"-r", "a:=/9b"}, "invalid replacement name"},
      {{"-r", "a:="}, "empty replacement"},
      {{"-r", "bad-node:a:=b"}, "invalid node name"},
      // A malformed argument wins over unknown ones.
      {{"--foo", "-p", "novalue"}, "'-p novalue'"},
  };
  for (auto [args, expected] : cases) {
    args.insert(args.begin(), "--ros-args");
    EXPECT_NE(error_of(args).find(expected), std::string::npos) << args.back();
  }
}

// YAML scalar typing as rcl does it: integers as strtoll with base 0 (beyond
// int64 a double), then doubles, YAML 1.1 booleans in three cases, anything
// else a string; sequences of one type.
TEST(ParameterTyping, YamlScalarsAndSequences) {
  EXPECT_EQ(param("4"), V(4));
  EXPECT_EQ(param("+3"), V(3));
  EXPECT_EQ(param("0x1F"), V(31));
  EXPECT_EQ(param("010"), V(8));
  EXPECT_EQ(param("9223372036854775807"), V(INT64_MAX));
  EXPECT_EQ(param("4.0"), V(4.0));
  EXPECT_EQ(param("1e3"), V(1000.0));
  EXPECT_EQ(param("-.5"), V(-0.5));
  EXPECT_EQ(param("9223372036854775808"), V(9223372036854775808.0));
  EXPECT_EQ(param(".inf"), V(INFINITY));
  EXPECT_EQ(param("-.Inf"), V(-INFINITY));
  EXPECT_EQ(param("inf"), V(INFINITY));
  EXPECT_EQ(param("tRUE"), V("tRUE"));
  EXPECT_EQ(param("'4'"), V("4"));
  EXPECT_EQ(param("\"true\""), V("true"));
  EXPECT_EQ(param("''"), V(""));
  EXPECT_EQ(param("!!str 4.0"), V("4.0"));
  EXPECT_EQ(param("!!float 4"), V(4));
  EXPECT_EQ(param("4.0m"), V("4.0m"));
  EXPECT_EQ(param("a:=b"), V("a:=b"));
  EXPECT_EQ(param("~"), V("~"));
  EXPECT_EQ(param("null"), V("null"));
  EXPECT_EQ(param("[1, 2]"), V(std::vector<int64_t>{1, 2}));
  EXPECT_EQ(param("[1.5, 2.0]"), V(std::vector<double>{1.5, 2.0}));
  EXPECT_EQ(param("[true, off]"), V(std::vector<bool>{true, false}));
  EXPECT_EQ(param("[a, '1']"), V(std::vector<std::string>{"a", "1"}));
  for (const char* word : {"true", "True", "TRUE", "yes", "Yes", "YES", "on", "On", "ON", "y"}) {
    EXPECT_EQ(param(word), V(true)) << word;
  }
  for (const char* word : {"false", "False", "FALSE", "no", "NO", "off", "Off", "n", "N"}) {
    EXPECT_EQ(param(word), V(false)) << word;
  }
  EXPECT_TRUE(std::isnan(param("nan").get<double>()));
  EXPECT_TRUE(std::isnan(param(".NaN").get<double>()));
}

TEST(OverridesFor, SelectsTheNodeAndTheLaterValue) {
  const auto args = parse({"--ros-args", "-p", "x:=1", "-p", "y:=2", "-p", "x:=3.0"});
  EXPECT_EQ(rclcpp_dds::overrides_for(args, "/n").at("x"), V(3.0));
  EXPECT_EQ(rclcpp_dds::overrides_for(args, "/n").at("y"), V(2));
  const auto prefixed = parse({"--ros-args", "-p", "other:x:=1", "-p", "align_controller:y:=2"});
  EXPECT_EQ(rclcpp_dds::overrides_for(prefixed, "/align_controller").count("x"), 0u);
  EXPECT_EQ(rclcpp_dds::overrides_for(prefixed, "/align_controller").at("y"), V(2));
  EXPECT_EQ(rclcpp_dds::overrides_for(prefixed, "/other").at("x"), V(1));
  // A bare node name only names a node of the root namespace.
  EXPECT_TRUE(rclcpp_dds::overrides_for(prefixed, "/robot1/align_controller").empty());
  // rcl groups values by key: the node's own key, first seen after "/**", wins even over a
  // later "/**" value.
  const auto grouped =
      parse({"--ros-args", "-p", "x:=1", "-p", "align_controller:x:=2", "-p", "x:=3"});
  EXPECT_EQ(rclcpp_dds::overrides_for(grouped, "/align_controller").at("x"), V(2));
}

TEST(ResolveTopic, ExpandsAgainstTheNodeThenRemaps) {
  const Arguments none;
  EXPECT_EQ(rclcpp_dds::resolve_topic(none, "cmd_vel", "n", "/"), "/cmd_vel");
  EXPECT_EQ(rclcpp_dds::resolve_topic(none, "cmd_vel", "n", "/robot1"), "/robot1/cmd_vel");
  EXPECT_EQ(rclcpp_dds::resolve_topic(none, "/cmd_vel", "n", "/robot1"), "/cmd_vel");
  EXPECT_EQ(rclcpp_dds::resolve_topic(none, "~/status", "n", "/robot1"), "/robot1/n/status");
  EXPECT_EQ(rclcpp_dds::resolve_topic(none, "~", "n", "/"), "/n");
  EXPECT_EQ(rclcpp_dds::resolve_topic(none, "{node}/x", "n", "/a"), "/a/n/x");
  // Remaps apply to resolved names, the first match winning.
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

TEST(ParameterValue, TypedGetAndTextAsRclcpp) {
  const V value(4);
  EXPECT_EQ(value.get<int>(), 4);
  EXPECT_EQ(what<rclcpp::ParameterTypeException>([&] { value.get<double>(); }),
            "expected [double] got [integer]");
  EXPECT_THROW(V().get<bool>(), rclcpp::ParameterTypeException);
  EXPECT_EQ(rclcpp::to_string(V(std::vector<bool>{true, false})), "[true, false]");
  EXPECT_EQ(rclcpp::to_string(V(2.5)), "2.500000");
  // const char* must not decay to bool.
  EXPECT_EQ(V("on").get_type(), rclcpp::PARAMETER_STRING);
}

TEST(ParameterStore, DeclareTakesTheOverrideUnlessIgnoredOrTheDefault) {
  ParameterStore store({{"trigger_mode", V(4.0)}, {"x", V(4.0)}});
  EXPECT_EQ(store.declare("trigger_mode", V(3.0), Descriptor(), false), V(4.0));
  EXPECT_EQ(store.declare("x", V(3.0), Descriptor(), true), V(3.0));
  ParameterStore dynamic_store({{"x", V(4)}});
  Descriptor dynamic;
  dynamic.dynamic_typing = true;
  EXPECT_EQ(dynamic_store.declare("x", V(3.0), dynamic, false), V(4));
  EXPECT_EQ(dynamic_store.declare("unset", V(), dynamic, false), V());
}

// The exact wording of a wrong type is checked through the node (test_pub_sub).
TEST(ParameterStore, InvalidDeclarationsLeaveNothingBehind) {
  ParameterStore store({{"trigger_mode", V(4)}, {"name", V(true)}});
  EXPECT_THROW(store.declare("trigger_mode", V(3.0), Descriptor(), false),
               InvalidParameterTypeException);
  EXPECT_EQ(store.find("trigger_mode"), nullptr);
  EXPECT_THROW(store.declare("name", V("robot"), Descriptor(), false),
               InvalidParameterTypeException);
  store.declare("x", V(1.0), Descriptor(), false);
  EXPECT_EQ(what<ParameterAlreadyDeclaredException>(
                [&] { store.declare("x", V(2.0), Descriptor(), false); }),
            "parameter 'x' has already been declared");
  EXPECT_EQ(store.find("x")->get<double>(), 1.0);
  EXPECT_THROW(store.declare("", V(1.0), Descriptor(), false), InvalidParametersException);
  EXPECT_THROW(store.declare("y", V(), Descriptor(), false), InvalidParameterTypeException);
}

// Parameter files, written to a fresh directory per test.
class ParamsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "params-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& content) {
    const auto path = (dir_ / name).string();
    std::ofstream(path) << content;
    return path;
  }

  std::map<std::string, V> overrides(const std::string& content, const std::string& node_fqn) {
    return rclcpp_dds::overrides_for(
        parse({"--ros-args", "--params-file", write("p.yaml", content)}), node_fqn);
  }

  // The message, checked to name the file on one line.
  std::string file_error_of(const std::string& content) {
    const auto path = write("bad.yaml", content);
    const auto message = error_of({"--ros-args", "--params-file", path});
    EXPECT_EQ(message.find("Couldn't parse params file: '--params-file " + path + "'. Error: "), 0u)
        << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    return message;
  }

  std::filesystem::path dir_;
};

TEST_F(ParamsFile, NodeKeysInRosLayout) {
  const std::string content =
      "align_controller:\n"
      "  ros__parameters:\n"
      "    trigger_mode: 4.0\n"
      "    pid:\n"
      "      kp: 1.5\n"
      "      limits: {upper: 0.1}\n"
      "/**:\n"
      "  ros__parameters:\n"
      "    use_sim_time: false\n"
      "/robot1:\n"
      "  align_controller:\n"
      "    ros__parameters:\n"
      "      name: \"4\"\n"
      "/**/other:\n"
      "  ros__parameters:\n"
      "    gains: [1.0, 2.0]\n"
      "/*:\n"
      "  ros__parameters:\n"
      "    root_only: 1\n";
  const auto root = overrides(content, "/align_controller");
  EXPECT_EQ(root.at("trigger_mode"), V(4.0));
  EXPECT_EQ(root.at("pid.kp"), V(1.5));
  EXPECT_EQ(root.at("pid.limits.upper"), V(0.1));
  EXPECT_EQ(root.at("use_sim_time"), V(false));
  EXPECT_EQ(root.count("name"), 0u);
  EXPECT_EQ(root.at("root_only"), V(1));
  const auto namespaced = overrides(content, "/robot1/align_controller");
  EXPECT_EQ(namespaced.at("name"), V("4"));
  EXPECT_EQ(namespaced.count("trigger_mode"), 0u);
  EXPECT_EQ(namespaced.count("root_only"), 0u);
  EXPECT_EQ(namespaced.at("use_sim_time"), V(false));
  EXPECT_EQ(overrides(content, "/a/b/other").at("gains"), V(std::vector<double>{1.0, 2.0}));
}

TEST_F(ParamsFile, IntegerInFileFailsDeclarationOfDouble) {
  ParameterStore store(overrides("align_controller:\n  ros__parameters:\n    trigger_mode: 4\n",
                                 "/align_controller"));
  EXPECT_THROW(store.declare("trigger_mode", V(3.0), Descriptor(), false),
               InvalidParameterTypeException);
}

TEST_F(ParamsFile, LaterSourcesWin) {
  const auto first = write("a.yaml", "/**:\n  ros__parameters:\n    x: 1.0\n    y: 1.0\n");
  const auto second = write("b.yaml", "/**:\n  ros__parameters:\n    x: 2.0\n");
  const auto result = rclcpp_dds::overrides_for(
      parse({"--ros-args", "--params-file", first, "--params-file", second, "-p", "y:=3.0"}), "/n");
  EXPECT_EQ(result.at("x"), V(2.0));
  EXPECT_EQ(result.at("y"), V(3.0));
}

TEST_F(ParamsFile, WildcardKeysMatchAnyNamespaceAndGroupAsWritten) {
  const auto file = write("a.yaml",
                          "/align_controller:\n  ros__parameters:\n    a: 1.0\n    b: 1.0\n"
                          "/**:\n  ros__parameters:\n    a: 2.0\n    b: 2.0\n    c: 2.0\n"
                          "/**/align_controller:\n  ros__parameters:\n    d: 2.0\n"
                          "\"**/align_controller\":\n  ros__parameters:\n    e: 2.0\n"
                          "/*/align_controller:\n  ros__parameters:\n    f: 2.0\n");
  const auto later = write("b.yaml", "align_controller:\n  ros__parameters:\n    a: 3.0\n");
  const auto args =
      parse({"--ros-args", "--params-file", file, "--params-file", later, "-p", "c:=5.0"});
  // "align_controller" is a key of its own, first seen after "/**", so it wins; a value under
  // "/align_controller" stays in that key's place, before "/**".
  const auto root = rclcpp_dds::overrides_for(args, "/align_controller");
  EXPECT_EQ(root.at("a"), V(3.0));
  EXPECT_EQ(root.at("b"), V(2.0));
  EXPECT_EQ(root.at("c"), V(5.0));
  EXPECT_EQ(root.at("d"), V(2.0));
  EXPECT_EQ(root.at("e"), V(2.0));
  EXPECT_EQ(root.count("f"), 0u);
  for (const std::string fqn : {"/robot1/align_controller", "/a/b/align_controller"}) {
    const auto namespaced = rclcpp_dds::overrides_for(args, fqn);
    EXPECT_EQ(namespaced.at("a"), V(2.0)) << fqn;
    EXPECT_EQ(namespaced.at("c"), V(5.0)) << fqn;
    EXPECT_EQ(namespaced.at("d"), V(2.0)) << fqn;
    EXPECT_EQ(namespaced.at("e"), V(2.0)) << fqn;
    EXPECT_EQ(namespaced.count("f"), fqn == "/robot1/align_controller" ? 1u : 0u) << fqn;
  }
  EXPECT_EQ(rclcpp_dds::overrides_for(args, "/robot1/dock1").count("d"), 0u);
}

TEST_F(ParamsFile, EmptyFileAndEmptyParametersAreAccepted) {
  EXPECT_TRUE(overrides("", "/n").empty());
  EXPECT_TRUE(overrides("# nothing\n", "/n").empty());
  EXPECT_TRUE(overrides("n:\n  ros__parameters:\n", "/n").empty());
}

TEST_F(ParamsFile, MalformedFilesAreRejected) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"n:\n  ros__parameters:\n    x: [1\n", "line"},
      {"trigger_mode: 4.0\n", "Cannot have a value before ros__parameters"},
      {"n:\n  trigger_mode: 4.0\n", "Cannot have a value before"},
      {"ros__parameters:\n  x: 1\n", "There are no node names"},
      {"n:\n  ros__parameters:\n    x:\n", "No value at line 3"},
      {"n:\n  ros__parameters:\n    x: [1, a]\n", "same type"},
      {"n:\n  ros__parameters:\n    x: [[1]]\n", "only scalar"},
      {"bad-name:\n  ros__parameters:\n    x: 1\n", "Invalid node name"},
      {"- a\n- b\n", "Sequences can only be values"},
      {"n:\n  ros__parameters: 5\n", "Expected a map"},
  };
  for (const auto& [content, expected] : cases) {
    EXPECT_NE(file_error_of(content).find(expected), std::string::npos) << content;
  }
}

// A file at each bound is read; one beyond it is rejected, quickly.
TEST_F(ParamsFile, BoundsOnSizeAndParameters) {
  const std::string head = "n:\n  ros__parameters:\n";
  std::string many = head;
  for (size_t i = 0; i < rclcpp_dds::kMaxParametersPerFile; ++i) {
    many += "    p" + std::to_string(i) + ": 1\n";
  }
  EXPECT_EQ(overrides(many, "/n").size(), rclcpp_dds::kMaxParametersPerFile);
  EXPECT_NE(file_error_of(many + "    extra: 1\n").find("More than 10000 parameters in the file"),
            std::string::npos);

  std::string full = head + "    x: 1\n#";
  full += std::string(rclcpp_dds::kMaxParameterFileBytes - full.size() - 1, '-') + "\n";
  EXPECT_EQ(overrides(full, "/n").size(), 1u);
  EXPECT_NE(file_error_of(full + "\n").find("File larger than 1 MiB"), std::string::npos);
}

// As rcl: an anchor alone changes nothing, the first alias refuses the file, wherever it
// stands (in a sequence, as a map of maps that would name a million values, in a later
// document).
TEST_F(ParamsFile, AliasesAreRefusedAtTheFirstOne) {
  const std::string head = "n:\n  ros__parameters:\n";
  const auto anchored = overrides(head + "    s: &s [0.5, 1.5]\n    x: &x 2\n", "/n");
  EXPECT_EQ(anchored.at("s"), V(std::vector<double>{0.5, 1.5}));
  EXPECT_EQ(anchored.at("x"), V(2));

  const std::vector<std::pair<std::string, std::string>> cases = {
      {head + "    s: &s [0.5]\n    t: *s\n", "Will not support aliasing at line 4"},
      {head + "    x: &x 2\n    v: [1, *x]\n", "Will not support aliasing at line 4"},
      {head + "    l0: &l0 {a: 0, b: 0}\n    l1: &l1 {a: *l0, b: *l0}\n    l2: {a: *l1}\n",
       "Will not support aliasing at line 4"},
      {head + "    x: 2\n---\n" + head + "    y: &y 1\n    z: *y\n",
       "Will not support aliasing at line 8"},
  };
  for (const auto& [content, expected] : cases) {
    const std::string message = file_error_of(content);
    EXPECT_EQ(message.substr(message.find(". Error: ") + 9), expected) << content;
  }
}

TEST_F(ParamsFile, UnreadableFileIsRejected) {
  const auto missing = (dir_ / "missing.yaml").string();
  EXPECT_EQ(error_of({"--ros-args", "--params-file", missing}),
            "Couldn't parse params file: '--params-file " + missing +
                "'. Error: Error opening YAML file (No such file or directory)");
  EXPECT_THROW(parse({"--ros-args", "--params-file", dir_.string()}), RCLInvalidROSArgsError);
}

}  // namespace
