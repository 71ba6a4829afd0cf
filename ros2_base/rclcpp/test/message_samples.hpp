#pragma once

// One message of each type with a distinct, awkward value in every field:
// extreme doubles, negative and maximal integers, long and non-ASCII strings.
// AllKinds' values all differ from its defaults, so that a field left unread
// on arrival shows.

#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "builtin_interfaces/msg/time.hpp"
#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/pose_with_covariance.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "geometry_msgs/msg/twist_with_covariance.hpp"
#include "geometry_msgs/msg/vector3.hpp"
#include "nav_msgs/msg/odometry.hpp"
#include "quorvane_protocol/msg/align.hpp"
#include "std_msgs/msg/header.hpp"
#include "wire_test_msgs/msg/all_kinds.hpp"
#include "wire_test_msgs/msg/nested.hpp"

namespace message_samples {

struct Samples {
  builtin_interfaces::msg::Time time;
  std_msgs::msg::Header header;
  geometry_msgs::msg::Point point;
  geometry_msgs::msg::Quaternion quaternion;
  geometry_msgs::msg::Pose pose;
  geometry_msgs::msg::PoseStamped pose_stamped;
  geometry_msgs::msg::Vector3 vector3;
  geometry_msgs::msg::Twist twist;
  geometry_msgs::msg::PoseWithCovariance pose_with_covariance;
  geometry_msgs::msg::TwistWithCovariance twist_with_covariance;
  nav_msgs::msg::Odometry odometry;
  quorvane_protocol::msg::Align align;
  wire_test_msgs::msg::Nested nested;
  wire_test_msgs::msg::AllKinds all_kinds;
};

inline Samples make() {
  using limits = std::numeric_limits<double>;
  auto point = [](double x, double y, double z) {
    geometry_msgs::msg::Point p;
    p.x = x;
    p.y = y;
    p.z = z;
    return p;
  };
  auto quaternion = [](double x, double y, double z, double w) {
    geometry_msgs::msg::Quaternion q;
    q.x = x;
    q.y = y;
    q.z = z;
    q.w = w;
    return q;
  };
  auto vector3 = [](double x, double y, double z) {
    geometry_msgs::msg::Vector3 v;
    v.x = x;
    v.y = y;
    v.z = z;
    return v;
  };
  auto time = [](int32_t sec, uint32_t nanosec) {
    builtin_interfaces::msg::Time t;
    t.sec = sec;
    t.nanosec = nanosec;
    return t;
  };
  Samples s;
  s.time = time(-2147483647 - 1, 4294967295u);
  s.header.stamp = time(1700000000, 999999999u);
  s.header.frame_id = std::string(300, 'f') + " base_link \xc3\xa9";
  s.point = point(1.5, -2.25e-300, limits::max());
  s.quaternion = quaternion(0.1, -0.2, 0.3, -0.4);
  s.pose.position = s.point;
  s.pose.orientation = s.quaternion;
  s.pose_stamped.header = s.header;
  s.pose_stamped.pose.position = point(0.75, -0.125, 0.3);
  s.pose_stamped.pose.orientation = quaternion(0.0, 0.0, 0.0, 0.5);
  s.vector3 = vector3(-1.0 / 3.0, limits::denorm_min(), -limits::infinity());
  s.twist.linear = vector3(-0.1, 0.01, 0.02);
  s.twist.angular = vector3(0.03, 0.04, -0.2);
  s.pose_with_covariance.pose = s.pose;
  s.twist_with_covariance.twist = s.twist;
  for (int i = 0; i < 36; ++i) {
    s.pose_with_covariance.covariance[i] = 0.25 * i - 3.0;
    s.twist_with_covariance.covariance[i] = 1e-3 * (i + 1) * (i % 2 == 0 ? 1 : -1);
  }
  s.odometry.header.stamp = time(12, 345);
  s.odometry.header.frame_id = "odom";
  s.odometry.child_frame_id = "base_footprint";
  s.odometry.pose = s.pose_with_covariance;
  s.odometry.twist = s.twist_with_covariance;
  s.align.enable = -1;
  s.align.action = 2;
  s.align.success = std::numeric_limits<int32_t>::max();

  auto nested = [](uint8_t tag, double value, std::string label) {
    wire_test_msgs::msg::Nested n;
    n.tag = tag;
    n.value = value;
    n.label = std::move(label);
    return n;
  };
  s.nested = nested(255, limits::lowest(), "\xe2\x86\x92 dock");
  auto& a = s.all_kinds;
  a.flag = false;
  a.octet = 0xff;
  a.letter = 0x80;
  a.f32 = std::numeric_limits<float>::lowest();
  a.f64 = limits::denorm_min();
  a.i8 = std::numeric_limits<int8_t>::min();
  a.u8 = std::numeric_limits<uint8_t>::max();
  a.i16 = std::numeric_limits<int16_t>::min();
  a.u16 = std::numeric_limits<uint16_t>::max();
  a.i32 = std::numeric_limits<int32_t>::min();
  a.u32 = std::numeric_limits<uint32_t>::max();
  a.i64 = std::numeric_limits<int64_t>::min();
  a.u64 = std::numeric_limits<uint64_t>::max();
  a.text = std::string(1000, 't') + " \xe6\x97\xa5\xe6\x9c\xac";
  a.wide = std::u16string{0x00e9, 0x20ac, 0xd7ff, 0xffff, 0x0001, u'w'};
  a.short_text =
      "\xc3\xa9"
      "123456";  // 8 bytes: exactly the bound
  a.i16_array = {std::numeric_limits<int16_t>::max(), std::numeric_limits<int16_t>::min(), 7};
  a.string_array = {"", "\xc3\xa9t\xc3\xa9"};
  a.nested_array = {s.nested, nested(0, -0.0, "")};
  a.bools_bounded = {false, true, false};
  a.f64_bounded = {limits::infinity(), -1e-308};
  a.strings_bounded = {"abcd", ""};
  a.nested_bounded = {};
  a.bools = {true, false, true, true, false, false, true, false, true};  // odd: u32s pads
  a.u32s = {};                                                           // its default has two
  a.strings = {"", std::string(20000, 's'), "\xf0\x9f\x94\x8b"};         // fragments on the wire
  a.nested = {nested(1, 1.0 / 3.0, "first"), nested(2, limits::max(), std::string(9, 'n')),
              s.nested};
  return s;
}

// Calls f(message, its DDS type name) for each message of s.
template <class F>
void for_each(const Samples& s, F&& f) {
  f(s.time, "builtin_interfaces::msg::dds_::Time_");
  f(s.header, "std_msgs::msg::dds_::Header_");
  f(s.point, "geometry_msgs::msg::dds_::Point_");
  f(s.quaternion, "geometry_msgs::msg::dds_::Quaternion_");
  f(s.pose, "geometry_msgs::msg::dds_::Pose_");
  f(s.pose_stamped, "geometry_msgs::msg::dds_::PoseStamped_");
  f(s.vector3, "geometry_msgs::msg::dds_::Vector3_");
  f(s.twist, "geometry_msgs::msg::dds_::Twist_");
  f(s.pose_with_covariance, "geometry_msgs::msg::dds_::PoseWithCovariance_");
  f(s.twist_with_covariance, "geometry_msgs::msg::dds_::TwistWithCovariance_");
  f(s.odometry, "nav_msgs::msg::dds_::Odometry_");
  f(s.align, "quorvane_protocol::msg::dds_::Align_");
  f(s.nested, "wire_test_msgs::msg::dds_::Nested_");
  f(s.all_kinds, "wire_test_msgs::msg::dds_::AllKinds_");
}

// The echo topics of a type: ping/PoseStamped and so on.
inline std::string echo_topic(const char* direction, const std::string& dds_type_name) {
  const auto start = dds_type_name.rfind("::") + 2;
  return direction + ("/" + dds_type_name.substr(start, dds_type_name.size() - start - 1));
}

}  // namespace message_samples
