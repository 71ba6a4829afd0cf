// The command line as Python 3.11's argparse reads it and prints its help:
// the expected texts are those of ros2cli 0.18.11's `ros2 param list`.
#include <gtest/gtest.h>

#include "command_line.hpp"

namespace {

using ros2_lite::Nargs;
using ros2_lite::parse_known;
using ros2_lite::UsageError;

const ros2_lite::Parser kList{
    "ros2 param list",
    "Output a list of available parameters",
    {{{"--spin-time"},
      "",
      Nargs::kOne,
      "Spin time in seconds to wait for discovery (only applies when not using an already running "
      "daemon)",
      true},
     {{"-s", "--use-sim-time"}, "", Nargs::kZero, "Enable ROS simulation time"},
     {{"--no-daemon"}, "", Nargs::kZero, "Do not spawn nor use an already running daemon"},
     {{}, "node_name", Nargs::kOptional, "Name of the ROS node"},
     {{"--filter"},
      "",
      Nargs::kListOfOne,
      "Only parameters matching the regex expression will be showed. Supports `re` regex syntax."},
     {{"--include-hidden-nodes"}, "", Nargs::kZero, "Consider hidden nodes as well"},
     {{"--param-prefixes"},
      "",
      Nargs::kOneOrMore,
      "Only list parameters with the provided prefixes"},
     {{"--param-type"}, "", Nargs::kZero, "Print parameter types with parameter names"}},
    {}};

const ros2_lite::Parser kSet{"ros2 param set",
                             "Set parameter",
                             {{{"-a", "--all"}, "", Nargs::kZero, "All"},
                              {{"-c", "--count"}, "", Nargs::kZero, "Count"},
                              {{}, "node_name", Nargs::kOne, "Name of the ROS node"},
                              {{}, "parameter_name", Nargs::kOne, "Name of the parameter"},
                              {{}, "value", Nargs::kOne, "Value of the parameter"}},
                             {}};

std::string error_of(const ros2_lite::Parser& parser, const std::vector<std::string>& args) {
  try {
    parse_known(parser, args);
  } catch (const UsageError& e) {
    return e.what();
  }
  return "";
}

TEST(CommandLine, OptionsAsArgparseTakesThem) {
  auto parsed = parse_known(kList, {"--spin", "2", "/n", "--filter=k.*", "--param-p", "a", "b"});
  EXPECT_EQ(parsed.values.at("--spin-time"), "2");
  EXPECT_EQ(parsed.positionals.at("node_name"), "/n");
  EXPECT_EQ(parsed.values.at("--filter"), "k.*");
  EXPECT_EQ(parsed.lists.at("--param-prefixes"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(parsed.extras.empty());
  // A '+' option takes what follows it, a node name too.
  parsed = parse_known(kList, {"--param-prefixes", "a", "/n"});
  EXPECT_EQ(parsed.lists.at("--param-prefixes"), (std::vector<std::string>{"a", "/n"}));
  EXPECT_EQ(parsed.positionals.count("node_name"), 0u);
  parsed = parse_known(kSet, {"-ac", "/n", "p", "v", "x", "--bogus"});
  EXPECT_TRUE(parsed.has("--all") && parsed.has("--count"));
  EXPECT_EQ(parsed.extras, (std::vector<std::string>{"x", "--bogus"}));
}

TEST(CommandLine, NegativeNumbersAndTheSeparator) {
  for (const char* number : {"-1", "-0.1", "-.5"}) {
    EXPECT_EQ(parse_known(kSet, {"/n", "p", number}).positionals.at("value"), number);
  }
  // Not a negative number to argparse: an unknown option, so the value is missing.
  EXPECT_EQ(error_of(kSet, {"/n", "p", "-1e3"}), "the following arguments are required: value");
  EXPECT_EQ(parse_known(kSet, {"/n", "p", "--", "-1e3"}).positionals.at("value"), "-1e3");
  EXPECT_EQ(parse_known(kSet, {"/n", "--", "p", "-x"}).positionals.at("value"), "-x");
  EXPECT_EQ(parse_known(kSet, {"--", "/n", "p", "--x"}).positionals.at("value"), "--x");
}

TEST(CommandLine, ErrorsWordedAsArgparse) {
  EXPECT_EQ(error_of(kList, {"--spin-time"}), "argument --spin-time: expected one argument");
  EXPECT_EQ(error_of(kList, {"--spin-time", "x"}),
            "argument --spin-time: invalid float value: 'x'");
  EXPECT_EQ(error_of(kList, {"--filter"}), "argument --filter: expected 1 argument");
  EXPECT_EQ(error_of(kList, {"--param-prefixes"}),
            "argument --param-prefixes: expected at least one argument");
  EXPECT_EQ(error_of(kList, {"--p"}),
            "ambiguous option: --p could match --param-prefixes, --param-type");
  EXPECT_EQ(error_of(kSet, {"-a=1"}), "argument -a/--all: ignored explicit argument '1'");
  EXPECT_EQ(error_of(kSet, {"/n"}), "the following arguments are required: parameter_name, value");
  EXPECT_THROW(parse_known(kSet, {"/n", "-h", "--bogus"}), ros2_lite::HelpRequested);
}

TEST(CommandLine, PythonFloats) {
  for (const char* text :
       {"1", " 2.5 ", "-1", "1_000.5", ".5", "5.", "1e3", "inf", "-Infinity", "nan"}) {
    EXPECT_TRUE(ros2_lite::python_float_value(text)) << text;
  }
  for (const char* text : {"", "x", "1__0", "_1", "0x10", "1e", "in f"}) {
    EXPECT_FALSE(ros2_lite::python_float_value(text)) << text;
  }
  EXPECT_EQ(*ros2_lite::python_float_value("1_000.5"), 1000.5);
}

TEST(HelpFormat, WholeHelpAtEightyColumns) {
  EXPECT_EQ(ros2_lite::format_help(kList, 78),
            R"(usage: ros2 param list [-h] [--spin-time SPIN_TIME] [-s] [--no-daemon]
                       [--filter FILTER] [--include-hidden-nodes]
                       [--param-prefixes PARAM_PREFIXES [PARAM_PREFIXES ...]]
                       [--param-type]
                       [node_name]

Output a list of available parameters

positional arguments:
  node_name             Name of the ROS node

options:
  -h, --help            show this help message and exit
  --spin-time SPIN_TIME
                        Spin time in seconds to wait for discovery (only
                        applies when not using an already running daemon)
  -s, --use-sim-time    Enable ROS simulation time
  --no-daemon           Do not spawn nor use an already running daemon
  --filter FILTER       Only parameters matching the regex expression will be
                        showed. Supports `re` regex syntax.
  --include-hidden-nodes
                        Consider hidden nodes as well
  --param-prefixes PARAM_PREFIXES [PARAM_PREFIXES ...]
                        Only list parameters with the provided prefixes
  --param-type          Print parameter types with parameter names
)");
}

TEST(HelpFormat, SubCommandsAndNarrowTerminals) {
  const ros2_lite::Parser node{
      "ros2 node",
      "Various node related sub-commands",
      {{{},
        "",
        Nargs::kCommand,
        "",
        false,
        "Call `ros2 node <command> -h` for more detailed usage."}},
      {{"info", "Output information about a node"}, {"list", "Output a list of available nodes"}}};
  EXPECT_EQ(ros2_lite::format_help(node, 78), R"(usage: ros2 node [-h]
                 Call `ros2 node <command> -h` for more detailed usage. ...

Various node related sub-commands

options:
  -h, --help            show this help message and exit

Commands:
  info  Output information about a node
  list  Output a list of available nodes

  Call `ros2 node <command> -h` for more detailed usage.
)");
  // A long program name goes on a line of its own.
  const ros2_lite::Parser security{
      "ros2 security create_permission with a very long name", "", kSet.arguments, {}};
  EXPECT_EQ(ros2_lite::format_usage(security, 38),
            "usage: ros2 security create_permission with a very long name\n"
            "       [-h] [-a] [-c]\n"
            "       node_name parameter_name value");
  EXPECT_EQ(ros2_lite::wrap_text("  a  bb\tccc ", 6), (std::vector<std::string>{"a bb", "ccc"}));
  EXPECT_EQ(ros2_lite::wrap_text("abcdefgh ij", 3),
            (std::vector<std::string>{"abc", "def", "gh", "ij"}));
  // textwrap breaks after the hyphens of hyphenated words and around "--" between words,
  // and a long word after its last hyphen that fits.
  EXPECT_EQ(
      ros2_lite::wrap_text(
          "Defaults to 1 when using \"-1\"/\"--once\"/\"--times\", otherwise defaults to 0.", 40),
      (std::vector<std::string>{"Defaults to 1 when using \"-1\"/\"--once\"/\"",
                                "--times\", otherwise defaults to 0."}));
  EXPECT_EQ(ros2_lite::wrap_text("a well-known self-evident x-ray co--operation", 12),
            (std::vector<std::string>{"a well-known", "self-evident", "x-ray co--", "operation"}));
  EXPECT_EQ(ros2_lite::wrap_text(
                "Output all elements with a length > '--truncate-length', by default", 30),
            (std::vector<std::string>{"Output all elements with a", "length > '--truncate-length',",
                                      "by default"}));
  EXPECT_EQ(ros2_lite::wrap_text("aaaaaaaaaa-bbbbbbbbbbbbbbb", 12),
            (std::vector<std::string>{"aaaaaaaaaa-b", "bbbbbbbbbbbb", "bb"}));
}

}  // namespace
