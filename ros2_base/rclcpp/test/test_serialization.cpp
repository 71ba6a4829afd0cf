// The serializer on its own: every message type through rosidl introspection,
// and bytes from the wire that must be refused rather than trusted.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <type_traits>
#include <vector>

#include "message_samples.hpp"
#include "rclcpp_dds/type_support.hpp"
#include "serialization.hpp"

namespace {

using rclcpp_dds::deserialize;
using rclcpp_dds::serialize;

template <class M>
std::vector<unsigned char> bytes_of(const M& message) {
  std::vector<unsigned char> out;
  serialize(rclcpp_dds::message_members<M>(), &message, out);
  return out;
}

// Each type's DDS name as ROS 2's; every field back as it went in, into a
// message whose fields all held other values.
TEST(Serialization, Ros2TypeNamesAndRoundTripOfEveryField) {
  const auto samples = message_samples::make();
  message_samples::for_each(samples, [](const auto& in, const char* type_name) {
    using M = std::decay_t<decltype(in)>;
    const auto& members = rclcpp_dds::message_members<M>();
    EXPECT_EQ(std::string(members.message_namespace_) + "::dds_::" + members.message_name_ + "_",
              type_name);
    const auto bytes = bytes_of(in);
    EXPECT_EQ(bytes.size() % 4, 0u) << type_name;
    M out;
    ASSERT_TRUE(deserialize(members, bytes.data(), bytes.size(), &out)) << type_name;
    EXPECT_EQ(out, in) << type_name;
  });
}

// Every kind of field against XCDR1 worked out by hand. These are the bytes
// the layer hands Cyclone to send (EndpointsFollowRos2sWireConventions checks
// that they cross unchanged). Offsets count from the byte after the header.
TEST(Serialization, EveryFieldKindHasTheXcdr1BytesOfRos2) {
  wire_test_msgs::msg::Nested n0, n1, n2;
  n0.tag = 1;
  n0.value = 0.5;
  n0.label = "n";
  n1.tag = 2;
  n1.value = 2.0;
  n1.label = "";
  n2.tag = 3;
  n2.value = -1.0;
  n2.label = "x";
  wire_test_msgs::msg::AllKinds m;
  m.flag = true;
  m.octet = 0xab;
  m.letter = 'x';
  m.f32 = 1.5f;
  m.f64 = -0.25;
  m.i8 = -8;
  m.u8 = 200;
  m.i16 = -2;
  m.u16 = 0xbeef;
  m.i32 = -2;
  m.u32 = 0xdeadbeef;
  m.i64 = -2;
  m.u64 = 0x0102030405060708;
  m.text = "dock";
  m.wide = u"\u00e9\u20ac";
  m.short_text = "";
  m.i16_array = {-1, 0, 1};
  m.string_array = {"a", ""};
  m.nested_array = {n0, n1};
  m.bools_bounded = {true, false, true};
  m.f64_bounded = {};
  m.strings_bounded = {"abcd"};
  m.nested_bounded = {};
  m.bools = {false};
  m.u32s = {7, 0xffffffff};
  m.strings = {};
  m.nested = {n2};

  std::vector<unsigned char> expected;
  auto put = [&](std::initializer_list<unsigned char> b) { expected.insert(expected.end(), b); };
  put({0x00, 0x01, 0x00, 0x00});                                  // XCDR1, little endian
  put({0x01, 0xab, 'x'});                                         // 0 flag, octet, letter
  put({0});                                                       // 3 pad
  put({0x00, 0x00, 0xc0, 0x3f});                                  // 4 f32 1.5
  put({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xd0, 0xbf});          // 8 f64 -0.25
  put({0xf8, 0xc8});                                              // 16 i8, u8
  put({0xfe, 0xff, 0xef, 0xbe});                                  // 18 i16, u16
  put({0, 0});                                                    // 22 pad
  put({0xfe, 0xff, 0xff, 0xff, 0xef, 0xbe, 0xad, 0xde});          // 24 i32, u32
  put({0xfe, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff});          // 32 i64
  put({0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01});          // 40 u64
  put({5, 0, 0, 0, 'd', 'o', 'c', 'k', 0});                       // 48 text: length with NUL
  put({0, 0, 0});                                                 // 57 pad
  put({2, 0, 0, 0, 0xe9, 0, 0, 0, 0xac, 0x20, 0, 0});             // 60 wide: 2 units of 4 bytes
  put({1, 0, 0, 0, 0});                                           // 72 short_text "": its NUL
  put({0});                                                       // 77 pad
  put({0xff, 0xff, 0, 0, 1, 0});                                  // 78 i16_array: no length
  put({2, 0, 0, 0, 'a', 0, 0, 0, 1, 0, 0, 0, 0});                 // 84 string_array, pad at 90
  put({1, 0, 0, 0, 0, 0, 0});                                     // 97 nested_array[0].tag, pad
  put({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xe0, 0x3f});          // 104 .value 0.5
  put({2, 0, 0, 0, 'n', 0});                                      // 112 .label
  put({2, 0});                                                    // 118 [1].tag, pad
  put({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40});          // 120 .value 2.0
  put({1, 0, 0, 0, 0, 0, 0, 0});                                  // 128 .label "", pad
  put({3, 0, 0, 0, 1, 0, 1, 0});                                  // 136 bools_bounded, pad
  put({0, 0, 0, 0});                                              // 144 f64_bounded: no 8-alignment
  put({1, 0, 0, 0, 5, 0, 0, 0, 'a', 'b', 'c', 'd', 0, 0, 0, 0});  // 148 strings_bounded, pad
  put({0, 0, 0, 0});                                              // 164 nested_bounded
  put({1, 0, 0, 0, 0, 0, 0, 0});                                  // 168 bools, pad
  put({2, 0, 0, 0, 7, 0, 0, 0, 0xff, 0xff, 0xff, 0xff});          // 176 u32s
  put({0, 0, 0, 0});                                              // 188 strings
  put({1, 0, 0, 0, 3, 0, 0, 0});                                  // 192 nested, [0].tag, pad
  put({0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf0, 0xbf});          // 200 .value -1.0
  put({2, 0, 0, 0, 'x', 0});                                      // 208 .label
  put({0, 0});                                                    // 214 the sample to whole words
  EXPECT_EQ(bytes_of(m), expected);

  const auto& members = rclcpp_dds::message_members<wire_test_msgs::msg::AllKinds>();
  wire_test_msgs::msg::AllKinds back;
  ASSERT_TRUE(deserialize(members, expected.data(), expected.size(), &back));
  EXPECT_EQ(back, m);
  // Refused: every cut before the final padding, and a sequence or a string
  // beyond its bound (the rest would parse).
  for (size_t n = 0; n + 2 < expected.size(); ++n) {
    EXPECT_FALSE(deserialize(members, expected.data(), n, &back)) << n;
  }
  auto refused_with = [&](size_t offset, unsigned char byte) {
    auto b = expected;
    b[4 + offset] = byte;
    return !deserialize(members, b.data(), b.size(), &back);
  };
  EXPECT_TRUE(refused_with(136, 4));  // bools_bounded: 4 of at most 3
  EXPECT_TRUE(refused_with(152, 6));  // strings_bounded[0]: 5 characters of at most 4
}

// The round trip relies on == seeing nested fields.
TEST(Serialization, EqualitySeesEachNestedField) {
  const auto samples = message_samples::make();
  auto odom = samples.odometry;
  odom.twist.covariance[35] += 1.0;
  EXPECT_NE(odom, samples.odometry);
  odom = samples.odometry;
  odom.child_frame_id += "x";
  EXPECT_NE(odom, samples.odometry);
}

// Whatever arrives, a short or malformed sample is refused, never read past
// its end and never the cause of a huge allocation.
TEST(Serialization, RefusesTruncatedAndMalformedSamples) {
  const auto odom = message_samples::make().odometry;
  const auto& members = rclcpp_dds::message_members<nav_msgs::msg::Odometry>();
  const auto bytes = bytes_of(odom);
  // The last bytes may be padding; everything before the covariance end is not.
  for (size_t n = 0; n + 4 < bytes.size(); ++n) {
    std::vector<unsigned char> cut(bytes.begin(), bytes.begin() + n);
    nav_msgs::msg::Odometry out;
    EXPECT_FALSE(deserialize(members, cut.data(), cut.size(), &out)) << n;
  }

  auto corrupt = [&](size_t offset, std::initializer_list<unsigned char> with) {
    auto b = bytes;
    std::copy(with.begin(), with.end(), b.begin() + offset);
    nav_msgs::msg::Odometry out;
    return deserialize(members, b.data(), b.size(), &out);
  };
  EXPECT_FALSE(corrupt(0, {0x00, 0x02}));  // XCDR2
  EXPECT_FALSE(corrupt(1, {0x07}));        // unknown encoding
  // frame_id's length (at 12) claims 4 GiB, then one byte more than is there.
  EXPECT_FALSE(corrupt(12, {0xff, 0xff, 0xff, 0xff}));
  EXPECT_FALSE(corrupt(12, {0x04, 0x00, 0x00, 0x00}));  // "odom" without its NUL
}

// A big-endian writer's sample reads the same; a bool byte other than 0 or 1
// still gives a valid bool.
TEST(Serialization, ReadsBigEndianSamples) {
  geometry_msgs::msg::Point p;
  p.x = 1.5;
  p.y = -2.0;
  p.z = 1e300;
  auto bytes = bytes_of(p);
  bytes[1] = 0x00;  // CDR_BE
  for (size_t i = 4; i < bytes.size(); i += 8) {
    std::reverse(bytes.begin() + i, bytes.begin() + i + 8);
  }
  geometry_msgs::msg::Point out;
  ASSERT_TRUE(deserialize(rclcpp_dds::message_members<geometry_msgs::msg::Point>(), bytes.data(),
                          bytes.size(), &out));
  EXPECT_EQ(out, p);
}

// A service's request header travels ahead of the message and comes back out.
TEST(Serialization, RequestHeaderGoesAheadOfTheMessage) {
  const auto align = message_samples::make().align;
  const auto& members = rclcpp_dds::message_members<quorvane_protocol::msg::Align>();
  const rclcpp_dds::RequestHeader header{0x0102030405060708u, -7};
  std::vector<unsigned char> bytes;
  serialize(members, &align, bytes, &header);
  ASSERT_EQ(bytes.size(), 4u + 16u + 12u);
  EXPECT_EQ(bytes[4], 0x08);
  rclcpp_dds::RequestHeader back;
  quorvane_protocol::msg::Align out;
  ASSERT_TRUE(deserialize(members, bytes.data(), bytes.size(), &out, &back));
  EXPECT_EQ(back.guid, header.guid);
  EXPECT_EQ(back.sequence, header.sequence);
  EXPECT_EQ(out, align);
}

}  // namespace
