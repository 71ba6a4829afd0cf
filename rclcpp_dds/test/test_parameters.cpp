#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "arguments.hpp"
#include "parameter_store.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp/parameter.hpp"

namespace {

using rclcpp::Parameter;
using rclcpp::ParameterValue;
using rclcpp::exceptions::InvalidParametersException;
using rclcpp::exceptions::InvalidParameterTypeException;
using rclcpp::exceptions::ParameterAlreadyDeclaredException;
using rclcpp::exceptions::RCLInvalidROSArgsError;
using rclcpp_dds::ParameterStore;
using Descriptor = rcl_interfaces::msg::ParameterDescriptor;

TEST(ParameterValue, TypedGetThrowsOnMismatch) {
  const ParameterValue value(4);
  EXPECT_EQ(value.get_type(), rclcpp::PARAMETER_INTEGER);
  EXPECT_EQ(value.get<int>(), 4);
  try {
    value.get<double>();
    FAIL() << "expected ParameterTypeException";
  } catch (const rclcpp::ParameterTypeException& error) {
    EXPECT_STREQ(error.what(), "expected [double] got [integer]");
  }
  EXPECT_THROW(ParameterValue().get<bool>(), rclcpp::ParameterTypeException);
  EXPECT_THROW(ParameterValue("4").get<int64_t>(), rclcpp::ParameterTypeException);
}

TEST(ParameterValue, TypeNamesAndText) {
  EXPECT_EQ(rclcpp::to_string(rclcpp::PARAMETER_NOT_SET), "not set");
  EXPECT_EQ(rclcpp::to_string(rclcpp::PARAMETER_BOOL), "bool");
  EXPECT_EQ(rclcpp::to_string(rclcpp::PARAMETER_INTEGER), "integer");
  EXPECT_EQ(rclcpp::to_string(rclcpp::PARAMETER_DOUBLE), "double");
  EXPECT_EQ(rclcpp::to_string(rclcpp::PARAMETER_STRING), "string");
  EXPECT_EQ(rclcpp::to_string(rclcpp::PARAMETER_DOUBLE_ARRAY), "double_array");
  EXPECT_EQ(rclcpp::to_string(ParameterValue(std::vector<bool>{true, false})), "[true, false]");
  EXPECT_EQ(rclcpp::to_string(ParameterValue(2.5)), "2.500000");
  // const char* must not decay to bool.
  EXPECT_EQ(ParameterValue("on").get_type(), rclcpp::PARAMETER_STRING);
}

TEST(Parameter, Accessors) {
  const Parameter parameter("kp_w_", 1.0);
  EXPECT_EQ(parameter.get_name(), "kp_w_");
  EXPECT_EQ(parameter.get_type(), rclcpp::PARAMETER_DOUBLE);
  EXPECT_EQ(parameter.as_double(), 1.0);
  EXPECT_EQ(parameter.get_value<double>(), 1.0);
  EXPECT_THROW(parameter.as_int(), rclcpp::ParameterTypeException);
  EXPECT_EQ(Parameter("s", "text").as_string(), "text");
  EXPECT_TRUE(Parameter("b", true).as_bool());
}

TEST(ParameterStore, DeclareUsesOverrideOrDefault) {
  ParameterStore store({{"trigger_mode", ParameterValue(4.0)}});
  EXPECT_EQ(store.declare("trigger_mode", ParameterValue(3.0), Descriptor{}, false),
            ParameterValue(4.0));
  EXPECT_EQ(store.declare("kp_u_", ParameterValue(3.0), Descriptor{}, false), ParameterValue(3.0));
  ASSERT_NE(store.find("trigger_mode"), nullptr);
  EXPECT_EQ(store.find("trigger_mode")->get<double>(), 4.0);
  EXPECT_EQ(store.find("undeclared"), nullptr);
}

TEST(ParameterStore, IgnoreOverrideKeepsDefault) {
  ParameterStore store({{"x", ParameterValue(4.0)}});
  EXPECT_EQ(store.declare("x", ParameterValue(3.0), Descriptor{}, true), ParameterValue(3.0));
}

TEST(ParameterStore, OverrideOfAnotherTypeIsRejected) {
  ParameterStore store({{"trigger_mode", ParameterValue(4)}});
  try {
    store.declare("trigger_mode", ParameterValue(3.0), Descriptor{}, false);
    FAIL() << "expected InvalidParameterTypeException";
  } catch (const InvalidParameterTypeException& error) {
    EXPECT_STREQ(error.what(),
                 "parameter 'trigger_mode' has invalid type: Wrong parameter type, parameter "
                 "{trigger_mode} is of type {double}, setting it to {integer} is not allowed.");
  }
  // The failed declaration leaves nothing behind.
  EXPECT_EQ(store.find("trigger_mode"), nullptr);
  ParameterStore strings({{"name", ParameterValue(true)}});
  EXPECT_THROW(strings.declare("name", ParameterValue("robot"), Descriptor{}, false),
               InvalidParameterTypeException);
}

TEST(ParameterStore, DynamicTypingTakesAnyOverride) {
  ParameterStore store({{"x", ParameterValue(4)}});
  Descriptor dynamic;
  dynamic.dynamic_typing = true;
  EXPECT_EQ(store.declare("x", ParameterValue(3.0), dynamic, false), ParameterValue(4));
  EXPECT_EQ(store.declare("unset", ParameterValue(), dynamic, false), ParameterValue());
}

TEST(ParameterStore, InvalidDeclarations) {
  ParameterStore store({});
  store.declare("x", ParameterValue(1.0), Descriptor{}, false);
  try {
    store.declare("x", ParameterValue(2.0), Descriptor{}, false);
    FAIL() << "expected ParameterAlreadyDeclaredException";
  } catch (const ParameterAlreadyDeclaredException& error) {
    EXPECT_STREQ(error.what(), "parameter 'x' has already been declared");
  }
  EXPECT_EQ(store.find("x")->get<double>(), 1.0);
  EXPECT_THROW(store.declare("", ParameterValue(1.0), Descriptor{}, false),
               InvalidParametersException);
  EXPECT_THROW(store.declare("y", ParameterValue(), Descriptor{}, false),
               InvalidParameterTypeException);
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

  static rclcpp_dds::Arguments parse(std::vector<std::string> args) {
    args.insert(args.begin(), {"prog", "--ros-args"});
    std::vector<const char*> argv;
    for (const auto& arg : args) {
      argv.push_back(arg.c_str());
    }
    return rclcpp_dds::parse_arguments(static_cast<int>(argv.size()), argv.data());
  }

  std::map<std::string, ParameterValue> overrides(const std::string& content,
                                                  const std::string& node_fqn) {
    return rclcpp_dds::overrides_for(parse({"--params-file", write("p.yaml", content)}), node_fqn);
  }

  std::string error_of(const std::string& content) {
    const auto path = write("bad.yaml", content);
    try {
      parse({"--params-file", path});
    } catch (const RCLInvalidROSArgsError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find("Couldn't parse params file: '--params-file " + path + "'. Error: "),
                std::string::npos)
          << message;
      EXPECT_EQ(message.find('\n'), std::string::npos) << message;
      return message;
    }
    ADD_FAILURE() << "no error for " << content;
    return "";
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
  EXPECT_EQ(root.at("trigger_mode"), ParameterValue(4.0));
  EXPECT_EQ(root.at("pid.kp"), ParameterValue(1.5));
  EXPECT_EQ(root.at("pid.limits.upper"), ParameterValue(0.1));
  EXPECT_EQ(root.at("use_sim_time"), ParameterValue(false));
  EXPECT_EQ(root.count("name"), 0u);
  EXPECT_EQ(root.at("root_only"), ParameterValue(1));
  const auto namespaced = overrides(content, "/robot1/align_controller");
  EXPECT_EQ(namespaced.at("name"), ParameterValue("4"));
  EXPECT_EQ(namespaced.count("trigger_mode"), 0u);
  EXPECT_EQ(namespaced.count("root_only"), 0u);
  EXPECT_EQ(namespaced.at("use_sim_time"), ParameterValue(false));
  EXPECT_EQ(overrides(content, "/a/b/other").at("gains"),
            ParameterValue(std::vector<double>{1.0, 2.0}));
}

TEST_F(ParamsFile, IntegerInFileFailsDeclarationOfDouble) {
  ParameterStore store(overrides("align_controller:\n  ros__parameters:\n    trigger_mode: 4\n",
                                 "/align_controller"));
  EXPECT_THROW(store.declare("trigger_mode", ParameterValue(3.0), Descriptor{}, false),
               InvalidParameterTypeException);
}

TEST_F(ParamsFile, LaterSourcesWin) {
  const auto first = write("a.yaml", "/**:\n  ros__parameters:\n    x: 1.0\n    y: 1.0\n");
  const auto second = write("b.yaml", "/**:\n  ros__parameters:\n    x: 2.0\n");
  const auto result = rclcpp_dds::overrides_for(
      parse({"--params-file", first, "--params-file", second, "-p", "y:=3.0"}), "/n");
  EXPECT_EQ(result.at("x"), ParameterValue(2.0));
  EXPECT_EQ(result.at("y"), ParameterValue(3.0));
}

TEST_F(ParamsFile, EmptyFileAndEmptyParametersAreAccepted) {
  EXPECT_TRUE(overrides("", "/n").empty());
  EXPECT_TRUE(overrides("# nothing\n", "/n").empty());
  EXPECT_TRUE(overrides("n:\n  ros__parameters:\n", "/n").empty());
}

TEST_F(ParamsFile, MalformedFilesAreRejected) {
  EXPECT_NE(error_of("n:\n  ros__parameters:\n    x: [1\n").find("line"), std::string::npos);
  EXPECT_NE(error_of("trigger_mode: 4.0\n").find("Cannot have a value before ros__parameters"),
            std::string::npos);
  EXPECT_NE(error_of("n:\n  trigger_mode: 4.0\n").find("Cannot have a value before"),
            std::string::npos);
  EXPECT_NE(error_of("ros__parameters:\n  x: 1\n").find("There are no node names"),
            std::string::npos);
  EXPECT_NE(error_of("n:\n  ros__parameters:\n    x:\n").find("No value at line 3"),
            std::string::npos);
  EXPECT_NE(error_of("n:\n  ros__parameters:\n    x: [1, a]\n").find("same type"),
            std::string::npos);
  EXPECT_NE(error_of("n:\n  ros__parameters:\n    x: [[1]]\n").find("only scalar"),
            std::string::npos);
  EXPECT_NE(error_of("bad-name:\n  ros__parameters:\n    x: 1\n").find("Invalid node name"),
            std::string::npos);
  EXPECT_NE(error_of("- a\n- b\n").find("Sequences can only be values"), std::string::npos);
  EXPECT_NE(error_of("n:\n  ros__parameters: 5\n").find("Expected a map"), std::string::npos);
}

TEST_F(ParamsFile, UnreadableFileIsRejected) {
  const auto missing = (dir_ / "missing.yaml").string();
  try {
    parse({"--params-file", missing});
    FAIL() << "expected RCLInvalidROSArgsError";
  } catch (const RCLInvalidROSArgsError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Couldn't parse params file: '--params-file " + missing +
                  "'. Error: Error opening YAML file (No such file or directory)");
  }
  EXPECT_THROW(parse({"--params-file", dir_.string()}), RCLInvalidROSArgsError);
}

}  // namespace
