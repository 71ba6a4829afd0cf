// Messages to and from YAML against rosidl_runtime_py itself: every case of
// data/message_yaml_cases.txt is set on a wire_test_msgs/msg/AllKinds (one field
// of every kind a message can have) and printed, or fails, as the real
// set_message_fields and message_to_yaml did (data/message_yaml_expected.txt, made
// by reference_message_yaml.py).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "message_yaml.hpp"
#include "rclcpp_dds/type_support.hpp"
#include "wire_test_msgs/msg/all_kinds.hpp"
#include "wire_test_msgs/msg/empty.hpp"

namespace {

using wire_test_msgs::msg::AllKinds;

std::vector<std::string> lines_of(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

// "=== case" heads each expected text.
std::map<std::string, std::string> expected_by_case(
    const std::string& file = "message_yaml_expected.txt") {
  std::map<std::string, std::string> expected;
  std::string* current = nullptr;
  for (const auto& line : lines_of(std::string(TEST_DATA) + "/" + file)) {
    if (line.rfind("=== ", 0) == 0) {
      current = &expected[line.substr(4)];
    } else if (current != nullptr) {
      *current += line + "\n";
    }
  }
  return expected;
}

// What the reference printed for a case: the message as YAML, or "error: <repr>".
std::string outcome(const std::string& yaml) {
  const auto values = ros2_lite::safe_load(yaml);
  if (!values) {
    return "no YAML\n";
  }
  AllKinds message;
  const auto& members = rclcpp_dds::message_members<AllKinds>();
  if (const auto error = ros2_lite::set_message_fields(members, &message, *values)) {
    return "error: " + *error + "\n";
  }
  return ros2_lite::message_to_yaml(members, &message, true);
}

TEST(MessageYaml, EveryFieldKindAsRosidlRuntimePy) {
  const auto cases = lines_of(std::string(TEST_DATA) + "/message_yaml_cases.txt");
  const auto expected = expected_by_case();
  ASSERT_GT(cases.size(), 80u);
  ASSERT_EQ(expected.size(), cases.size());
  for (const auto& yaml : cases) {
    EXPECT_EQ(outcome(yaml), expected.at(yaml)) << yaml;
  }
}

// Goal values are mappings: read into pairs as a Python dict keeps them.
TEST(SafeLoad, MappingsAsPythonDicts) {
  using ros2_lite::safe_load;
  const auto keys = [](const char* text) {
    std::string out;
    const auto node = safe_load(text);
    if (!node || !node->pairs) {
      return std::string("not a mapping");
    }
    for (const auto& [key, value] : *node->pairs) {
      out += "<" + std::get<std::string>(key.scalar) + "=" +
             (value.pairs                                            ? "map"
              : value.items                                          ? "list"
              : std::holds_alternative<std::monostate>(value.scalar) ? "None"
                                                                     : "scalar") +
             ">";
    }
    return out;
  };
  EXPECT_EQ(keys("{a: 1, b: [1, {c: 2}], d: {e: f}}"), "<a=scalar><b=list><d=map>");
  EXPECT_EQ(keys("{a, b:, c: }"), "<a=None><b=None><c=None>");
  EXPECT_EQ(keys("{a: 1,}"), "<a=scalar>");
  EXPECT_EQ(keys("a: {b: 1}  # one pair, block style"), "<a=map>");
  EXPECT_EQ(keys("a:"), "<a=None>");
  EXPECT_EQ(keys("{a:1}"), "<a:1=None>");  // no space after ':' in a flow: one plain key
  // A repeated key keeps its place and takes the last value.
  const auto repeated = safe_load("{a: 1, b: 2, a: x}");
  ASSERT_TRUE(repeated && repeated->pairs);
  ASSERT_EQ(repeated->pairs->size(), 2u);
  EXPECT_EQ(std::get<std::string>(repeated->pairs->at(0).second.scalar), "x");
  // True, 1 and 1.0 are one key to Python.
  EXPECT_EQ(safe_load("{1: a, true: b, 1.0: c}")->pairs->size(), 1u);
  EXPECT_EQ(safe_load("[{a: 1}, {b: 2}]")->items->size(), 2u);
  // What PyYAML refuses.
  for (const char* text : {"{a: 1", "{a: 1 b: 2}", "{[a]: 1}", "{{a: 1}: 2}", "a: b: c", "a: - b",
                           "{a: 1,, b: 2}", "{,}", "!!seq {a: 1}"}) {
    EXPECT_FALSE(safe_load(text)) << text;
  }
}

// A message from the wire holds float32 values as such: Python prints the double
// of the float32, not the shortest text of it.
TEST(MessageYaml, Float32FromTheWireIsTheDoubleOfIt) {
  AllKinds message;
  message.f32 = 0.1f;
  message.f64_bounded = {0.1f};
  const auto& members = rclcpp_dds::message_members<AllKinds>();
  const std::string wire = ros2_lite::message_to_yaml(members, &message);
  EXPECT_NE(wire.find("\nf32: 0.10000000149011612\n"), std::string::npos) << wire;
  const std::string given = ros2_lite::message_to_yaml(members, &message, true);
  EXPECT_NE(given.find("\nf32: 0.1\n"), std::string::npos) << given;
  // Doubles are what they are either way.
  EXPECT_NE(given.find("\nf64_bounded:\n- 0.10000000149011612\n"), std::string::npos) << given;
}

// rosidl's placeholder field of an empty message is not one Python has.
TEST(MessageYaml, EmptyMessagesHaveNoFields) {
  wire_test_msgs::msg::Empty empty;
  const auto& members = rclcpp_dds::message_members<wire_test_msgs::msg::Empty>();
  EXPECT_EQ(ros2_lite::message_to_yaml(members, &empty), "{}\n");
  EXPECT_EQ(ros2_lite::set_message_fields(members, &empty, *ros2_lite::safe_load("{}")),
            std::nullopt);
  EXPECT_EQ(ros2_lite::set_message_fields(
                members, &empty, *ros2_lite::safe_load("{structure_needs_at_least_one_member: 1}")),
            "AttributeError(\"'Empty' object has no attribute "
            "'structure_needs_at_least_one_member'\")");
}

// What `topic pub` and `topic echo` print of each case of data/topic_text_cases.txt,
// against ros2topic and rosidl_runtime_py (data/topic_text_expected.txt, made by
// reference_topic_text.py): the repr, and YAML and CSV with their options.
std::string texts_of(const std::string& yaml) {
  AllKinds message;
  const auto& members = rclcpp_dds::message_members<AllKinds>();
  const auto values = ros2_lite::safe_load(yaml);
  if (!values) {
    return "no YAML\n";
  }
  if (const auto error = ros2_lite::set_message_fields(members, &message, *values)) {
    return "error: " + *error + "\n";
  }
  ros2_lite::MessageTextOptions two;
  two.truncate_length = 2;
  ros2_lite::MessageTextOptions abbreviated;
  abbreviated.truncate_length = 128;
  abbreviated.no_arr = true;
  abbreviated.no_str = true;
  ros2_lite::MessageTextOptions long_enough;
  long_enough.truncate_length = 128;
  ros2_lite::MessageTextOptions one_no_str;
  one_no_str.truncate_length = 1;
  one_no_str.no_str = true;
  return "--- repr\n" + ros2_lite::message_repr(members, &message, true) + "\n--- yaml -l 2\n" +
         ros2_lite::message_to_yaml(members, &message, two) + "--- yaml --no-arr --no-str\n" +
         ros2_lite::message_to_yaml(members, &message, abbreviated) + "--- csv\n" +
         ros2_lite::message_to_csv(members, &message, long_enough) + "\n--- csv -l 1 --no-str\n" +
         ros2_lite::message_to_csv(members, &message, one_no_str) + "\n";
}

TEST(TopicText, ReprYamlAndCsvAsRos2topic) {
  const auto cases = lines_of(std::string(TEST_DATA) + "/topic_text_cases.txt");
  const auto expected = expected_by_case("topic_text_expected.txt");
  ASSERT_GE(cases.size(), 5u);
  ASSERT_EQ(expected.size(), cases.size());
  for (const auto& yaml : cases) {
    EXPECT_EQ(texts_of(yaml), expected.at(yaml)) << yaml;
  }
}

// Without options the writer is the one `action send_goal` uses, unchanged.
TEST(TopicText, NoOptionsIsPlainYaml) {
  AllKinds message;
  message.strings = {std::string(200, 'x')};
  const auto& members = rclcpp_dds::message_members<AllKinds>();
  EXPECT_EQ(ros2_lite::message_to_yaml(members, &message, ros2_lite::MessageTextOptions{}),
            ros2_lite::message_to_yaml(members, &message));
  ros2_lite::MessageTextOptions cut;
  cut.truncate_length = 128;
  const std::string text = ros2_lite::message_to_yaml(members, &message, cut);
  EXPECT_NE(text.find("- " + std::string(128, 'x') + "...\n"), std::string::npos) << text;
}

}  // namespace

namespace {

// repr() as `service call` prints requests and responses; the texts are what the real
// ROS 2 Humble's generated Python class printed for the same messages.
TEST(MessageRepr, AsRosidlPythonClassesPrintIt) {
  AllKinds message;
  const auto& members = rclcpp_dds::message_members<AllKinds>();
  EXPECT_EQ(
      ros2_lite::message_repr(members, &message),
      "wire_test_msgs.msg.AllKinds(flag=True, octet=b'\\xab', letter=65, f32=-1.5, f64=0.125, "
      "i8=-8, u8=200, i16=-300, u16=60000, i32=-70000, u32=4000000000, i64=-5000000000, "
      "u64=10000000000000000000, text='default text', wide='', short_text='bounded', "
      "i16_array=array([-1,  0,  1], dtype=int16), string_array=['a', 'b, c'], "
      "nested_array=[wire_test_msgs.msg.Nested(tag=0, value=0.0, label=''), "
      "wire_test_msgs.msg.Nested(tag=0, value=0.0, label='')], bools_bounded=[True], "
      "f64_bounded=[], strings_bounded=[], nested_bounded=[], bools=[], u32s=[7, 8], "
      "strings=[], nested=[])");
  message.f32 = 0.1f;
  message.f64_bounded = {1.5, 2.0};
  message.i16_array = {-300, 7, 0};
  message.nested_array[0].label = "it's";
  message.nested_bounded = {message.nested_array[0]};
  message.u32s = {1};
  const std::string changed = ros2_lite::message_repr(members, &message, true);
  for (const char* part :
       {"f32=0.1, ", "i16_array=array([-300,    7,    0], dtype=int16), ",
        "nested_array=[wire_test_msgs.msg.Nested(tag=0, value=0.0, label=\"it's\"), ",
        "f64_bounded=[1.5, 2.0], ",
        "nested_bounded=[wire_test_msgs.msg.Nested(tag=0, value=0.0, label=\"it's\")], ",
        "u32s=[1], "}) {
    EXPECT_NE(changed.find(part), std::string::npos) << part << " in " << changed;
  }
  // Received, a float32 is the double it widens to.
  EXPECT_NE(ros2_lite::message_repr(members, &message).find("f32=0.10000000149011612, "),
            std::string::npos);
  wire_test_msgs::msg::Empty empty;
  EXPECT_EQ(
      ros2_lite::message_repr(rclcpp_dds::message_members<wire_test_msgs::msg::Empty>(), &empty),
      "wire_test_msgs.msg.Empty()");
}

}  // namespace
