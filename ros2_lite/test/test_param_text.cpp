// The texts of the param verbs: how a command-line value is typed, and how values,
// descriptors and a dump print, as the ros2 command prints them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "param_dump.hpp"
#include "param_text.hpp"
#include "python_text.hpp"

namespace {

using rcl_interfaces::msg::ParameterType;
using rcl_interfaces::msg::ParameterValue;
using ros2_lite::value_from_text;

TEST(ValueFromText, ScalarsTypedAsYaml11) {
  EXPECT_EQ(value_from_text("2.0").type, ParameterType::PARAMETER_DOUBLE);
  EXPECT_EQ(value_from_text("2.0").double_value, 2.0);
  EXPECT_EQ(value_from_text("4").type, ParameterType::PARAMETER_INTEGER);
  EXPECT_EQ(value_from_text("-0x1f").integer_value, -31);
  EXPECT_EQ(value_from_text("010").integer_value, 8);  // YAML 1.1 octal
  EXPECT_EQ(value_from_text("1_000").integer_value, 1000);
  for (const char* yes : {"true", "True", "yes", "ON"}) {
    EXPECT_EQ(value_from_text(yes).type, ParameterType::PARAMETER_BOOL) << yes;
    EXPECT_TRUE(value_from_text(yes).bool_value) << yes;
  }
  EXPECT_FALSE(value_from_text("off").bool_value);
  EXPECT_EQ(value_from_text("-.inf").double_value, -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(value_from_text(".nan").double_value));
  EXPECT_EQ(value_from_text(".5").double_value, 0.5);
  // PyYAML needs a dot for a float: 1e3 is text.
  EXPECT_EQ(value_from_text("1e3").type, ParameterType::PARAMETER_STRING);
  EXPECT_EQ(value_from_text("1.0e+3").double_value, 1000.0);
  EXPECT_EQ(value_from_text("'4'").string_value, "4");
  EXPECT_EQ(value_from_text("abc").string_value, "abc");
  // Beyond int64 and empty documents stay text rather than failing.
  EXPECT_EQ(value_from_text("9223372036854775808").type, ParameterType::PARAMETER_STRING);
  EXPECT_EQ(value_from_text("-9223372036854775808").integer_value,
            std::numeric_limits<int64_t>::min());
  EXPECT_EQ(value_from_text("").type, ParameterType::PARAMETER_STRING);
}

TEST(ValueFromText, FlowSequencesOfOneType) {
  EXPECT_EQ(value_from_text("[1, 2]").integer_array_value, (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(value_from_text("[1.5, .inf]").type, ParameterType::PARAMETER_DOUBLE_ARRAY);
  EXPECT_EQ(value_from_text("[true, no]").bool_array_value, (std::vector<bool>{true, false}));
  EXPECT_EQ(value_from_text("[a, 'b, c']").string_array_value,
            (std::vector<std::string>{"a", "b, c"}));
  EXPECT_EQ(value_from_text("[]").type, ParameterType::PARAMETER_BOOL_ARRAY);
  // Mixed types, nesting and a broken sequence are sent as the text.
  for (const char* text : {"[1, 2.0]", "[[1]]", "[1, 'a]"}) {
    EXPECT_EQ(value_from_text(text).type, ParameterType::PARAMETER_STRING) << text;
    EXPECT_EQ(value_from_text(text).string_value, text);
  }
}

TEST(ValueFromText, YamlFormsAsPyYamlReadsThem) {
  const auto is_double = [](const char* text, double expected) {
    const auto value = value_from_text(text);
    return value.type == ParameterType::PARAMETER_DOUBLE && value.double_value == expected;
  };
  const auto is_integer = [](const char* text, int64_t expected) {
    const auto value = value_from_text(text);
    return value.type == ParameterType::PARAMETER_INTEGER && value.integer_value == expected;
  };
  const auto is_string = [](const char* text, const std::string& expected) {
    const auto value = value_from_text(text);
    return value.type == ParameterType::PARAMETER_STRING && value.string_value == expected;
  };
  EXPECT_TRUE(is_double("1.0 # c", 1.0));
  EXPECT_TRUE(is_double("!!float 1", 1.0));
  EXPECT_TRUE(is_double("1:30.5", 90.5));  // YAML 1.1 sexagesimal
  EXPECT_TRUE(is_double("--- 2.5", 2.5));
  EXPECT_TRUE(is_double("&a -0.5", -0.5));
  EXPECT_TRUE(is_integer("1:30", 90));
  EXPECT_TRUE(is_integer("-1:00:00", -3600));
  EXPECT_TRUE(is_integer("!!int '0x10'", 16));
  EXPECT_TRUE(is_integer("0o7", 0) == false);  // not YAML 1.1: text
  EXPECT_TRUE(is_string("0o7", "0o7"));
  EXPECT_TRUE(is_string("\"\\u00e9\"", "\u00e9"));
  EXPECT_TRUE(is_string("\"A\\x41\\t\\U0001F600\"", "AA\t\U0001F600"));
  EXPECT_TRUE(is_string("'it''s'", "it's"));
  EXPECT_TRUE(is_string("!!str 12", "12"));
  EXPECT_TRUE(is_integer("! '12'", 12));  // a lone '!' leaves it to the resolvers
  EXPECT_TRUE(is_string("| # c", ""));
  EXPECT_TRUE(is_string("a b  c # d", "a b  c"));
  EXPECT_TRUE(is_string(":x", ":x"));
  EXPECT_EQ(value_from_text("- 1").integer_array_value, (std::vector<int64_t>{1}));
  EXPECT_EQ(value_from_text("[1, true]").integer_array_value, (std::vector<int64_t>{1, 1}));
  EXPECT_EQ(value_from_text("[&x 2, *x, ]").integer_array_value, (std::vector<int64_t>{2, 2}));
  EXPECT_EQ(value_from_text("[a, \"b\", c d]").string_array_value,
            (std::vector<std::string>{"a", "b", "c d"}));
  // What PyYAML refuses or makes into something else (None, a mapping, a date,
  // bytes, a lone surrogate...) is sent as the text.
  for (const char* text :
       {"~",     "",       "# c",       "{a: 1}",     "a: b",     "\"open",      "[1, 2",
        "'a' b", "[1,,2]", "!!binary",  "2020-01-01", "!local 1", "\"\\ud800\"", "*a",
        "\tx",   "[a: 1]", "!!int 1.5", "!!bool 1",   "@x",       "- - 1",       "%YAML 1.1"}) {
    EXPECT_TRUE(is_string(text, text)) << text;
  }
}

TEST(PythonFloat, ReprRules) {
  using ros2_lite::python_float;
  EXPECT_EQ(python_float(1.0), "1.0");
  EXPECT_EQ(python_float(0.25), "0.25");
  EXPECT_EQ(python_float(-3.0), "-3.0");
  EXPECT_EQ(python_float(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(python_float(1e16), "1e+16");
  EXPECT_EQ(python_float(1e15), "1000000000000000.0");
  EXPECT_EQ(python_float(0.0001), "0.0001");
  EXPECT_EQ(python_float(0.00001), "1e-05");
  EXPECT_EQ(python_float(1.5e308), "1.5e+308");
  EXPECT_EQ(python_float(-0.0), "-0.0");
  EXPECT_EQ(python_float(std::numeric_limits<double>::infinity()), "inf");
}

TEST(GetText, LabelsAndPythonValues) {
  ParameterValue value;
  value.type = ParameterType::PARAMETER_DOUBLE;
  value.double_value = 1.0;
  EXPECT_EQ(ros2_lite::get_text(value, false), "Double value is: 1.0");
  EXPECT_EQ(ros2_lite::get_text(value, true), "1.0");
  value.type = ParameterType::PARAMETER_BOOL;
  EXPECT_EQ(ros2_lite::get_text(value, false), "Boolean value is: False");
  value.type = ParameterType::PARAMETER_INTEGER_ARRAY;
  value.integer_array_value = {1, -2};
  EXPECT_EQ(ros2_lite::get_text(value, false), "Integer values are: array('q', [1, -2])");
  value.type = ParameterType::PARAMETER_DOUBLE_ARRAY;
  EXPECT_EQ(ros2_lite::get_text(value, false), "Double values are: array('d')");
  value.type = ParameterType::PARAMETER_STRING_ARRAY;
  value.string_array_value = {"a", "it's"};
  EXPECT_EQ(ros2_lite::get_text(value, false), "String values are: ['a', \"it's\"]");
  value.type = ParameterType::PARAMETER_BYTE_ARRAY;
  value.byte_array_value = {0x41, 0x01};
  EXPECT_EQ(ros2_lite::get_text(value, false), "Byte values are: [b'A', b'\\x01']");
  value.type = ParameterType::PARAMETER_NOT_SET;
  EXPECT_EQ(ros2_lite::get_text(value, false), "Parameter not set.");
}

TEST(DescribeText, ReadOnlyRangesAndDescription) {
  rcl_interfaces::msg::ParameterDescriptor descriptor;
  descriptor.name = "qos_overrides./parameter_events.publisher.depth";
  descriptor.type = ParameterType::PARAMETER_INTEGER;
  descriptor.description = "qos policy {depth} for publisher {/parameter_events}";
  descriptor.read_only = true;
  EXPECT_EQ(ros2_lite::describe_text(descriptor),
            "Parameter name: qos_overrides./parameter_events.publisher.depth\n"
            "  Type: integer\n"
            "  Description: qos policy {depth} for publisher {/parameter_events}\n"
            "  Constraints:\n"
            "    Read only: true\n");
  rcl_interfaces::msg::ParameterDescriptor ranged;
  ranged.name = "kp";
  ranged.type = ParameterType::PARAMETER_DOUBLE;
  ranged.floating_point_range.resize(1);
  ranged.floating_point_range[0].to_value = 2.5;
  EXPECT_EQ(ros2_lite::describe_text(ranged),
            "Parameter name: kp\n  Type: double\n  Constraints:\n"
            "    Min value: 0.0\n    Max value: 2.5\n");
}

TEST(DumpYaml, NestedSortedAndQuotedAsPyYaml) {
  const auto v = [](auto setter) {
    ParameterValue value;
    setter(value);
    return std::optional<ParameterValue>(value);
  };
  const std::vector<std::pair<std::string, std::optional<ParameterValue>>> parameters = {
      {"kp_w_", v([](auto& p) {
         p.type = 3;
         p.double_value = 1.0;
       })},
      {"qos_overrides./parameter_events.publisher.depth", v([](auto& p) {
         p.type = 2;
         p.integer_value = 1000;
       })},
      {"qos_overrides./parameter_events.publisher.durability", v([](auto& p) {
         p.type = 4;
         p.string_value = "volatile";
       })},
      {"big", v([](auto& p) {
         p.type = 3;
         p.double_value = 1e17;
       })},
      {"names", v([](auto& p) {
         p.type = 9;
         p.string_array_value = {"a", "true", "", "x: y"};
       })},
      {"tab", v([](auto& p) {
         p.type = 4;
         p.string_value = "a\tb\"c";
       })},
      {"lost", std::nullopt},
      {"use_sim_time", v([](auto& p) {
         p.type = 1;
         p.bool_value = false;
       })},
  };
  EXPECT_EQ(ros2_lite::dump_yaml("/align_controller", parameters),
            "/align_controller:\n"
            "  ros__parameters:\n"
            "    big: 1.0e+17\n"
            "    kp_w_: 1.0\n"
            "    lost: '# Parameter not set'\n"
            "    names:\n"
            "    - a\n"
            "    - 'true'\n"
            "    - ''\n"
            "    - 'x: y'\n"
            "    qos_overrides:\n"
            "      /parameter_events:\n"
            "        publisher:\n"
            "          depth: 1000\n"
            "          durability: volatile\n"
            "    tab: \"a\\tb\\\"c\"\n"
            "    use_sim_time: false\n");
}

// Strings as PyYAML 6 writes them with yaml.dump(default_flow_style=False).
TEST(DumpYaml, StringsEscapedAndFoldedAsPyYaml) {
  const auto text = [](std::string s) {
    ParameterValue value;
    value.type = 4;
    value.string_value = std::move(s);
    return std::optional<ParameterValue>(value);
  };
  std::string words;
  for (int i = 0; i < 30; ++i) {
    words += "word ";
  }
  std::string more;
  for (int i = 0; i < 20; ++i) {
    more += "more ";
  }
  ParameterValue list;
  list.type = 9;
  list.string_array_value = {"\xc3\xa9", "a b", "1.5"};
  EXPECT_EQ(ros2_lite::dump_yaml("/n", {{"colon", text("x: y")},
                                        {"e", text("\xc3\xa9")},
                                        {"emoji", text("A\U0001F600")},
                                        {"hash", text("#x")},
                                        {"long", text(words + "end")},
                                        {"longtab", text("long\ttext, " + more)},
                                        {"lst", list},
                                        {"multi", text("line one\nline two")},
                                        {"num", text("12")},
                                        {"quote", text("it's")}}),
            R"(/n:
  ros__parameters:
    colon: 'x: y'
    e: "\xE9"
    emoji: "A\U0001F600"
    hash: '#x'
    long: word word word word word word word word word word word word word word word
      word word word word word word word word word word word word word word word end
    longtab: "long\ttext, more more more more more more more more more more more more\
      \ more more more more more more more more "
    lst:
    - "\xE9"
    - a b
    - '1.5'
    multi: 'line one

      line two'
    num: '12'
    quote: it's
)");
}

}  // namespace
