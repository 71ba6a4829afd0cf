// The serializer on its own: every message type through rosidl introspection,
// and bytes from the wire that must be refused rather than trusted.
#include <gtest/gtest.h>

#include <cstring>
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
