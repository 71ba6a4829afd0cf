// Message types: ROS 2 defaults, DDS type names, and the C sample
// conversions keep every field.
#include <dds/dds.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "message_samples.hpp"
#include "nav_msgs/msg/odometry.hpp"
#include "quorvane_protocol/msg/align.hpp"

namespace {

template <class M>
std::string dds_type_name() {
  return static_cast<const dds_topic_descriptor_t*>(rclcpp_dds::type_support<M>().descriptor)
      ->m_typename;
}

// Through a C sample as the layer does it, the sample's memory freshly
// dirtied so that a field left unset shows.
template <class M>
M round_trip(const M& in) {
  const auto& support = rclcpp_dds::type_support<M>();
  std::vector<unsigned char> sample(support.sample_size, 0xA5);
  support.to_dds(&in, sample.data());
  M out;
  support.from_dds(sample.data(), &out);
  return out;
}

TEST(Messages, DefaultsAreRos2s) {
  const nav_msgs::msg::Odometry odom;
  EXPECT_EQ(odom.header.stamp.sec, 0);
  EXPECT_EQ(odom.header.stamp.nanosec, 0u);
  EXPECT_EQ(odom.header.frame_id, "");
  EXPECT_EQ(odom.pose.pose.position.x, 0.0);
  EXPECT_EQ(odom.pose.pose.orientation.x, 0.0);
  EXPECT_EQ(odom.pose.pose.orientation.w, 1.0);
  for (double c : odom.pose.covariance) {
    EXPECT_EQ(c, 0.0);
  }
  for (double c : odom.twist.covariance) {
    EXPECT_EQ(c, 0.0);
  }
  EXPECT_EQ(geometry_msgs::msg::Twist(), geometry_msgs::msg::Twist());
  const quorvane_protocol::msg::Align align;
  EXPECT_EQ(align.enable, 0);
  EXPECT_EQ(align.action, 0);
  EXPECT_EQ(align.success, 0);
}

TEST(Messages, DdsTypeNamesFollowRos2) {
  EXPECT_EQ(dds_type_name<builtin_interfaces::msg::Time>(), "builtin_interfaces::msg::dds_::Time_");
  EXPECT_EQ(dds_type_name<std_msgs::msg::Header>(), "std_msgs::msg::dds_::Header_");
  EXPECT_EQ(dds_type_name<geometry_msgs::msg::PoseStamped>(),
            "geometry_msgs::msg::dds_::PoseStamped_");
  EXPECT_EQ(dds_type_name<geometry_msgs::msg::TwistWithCovariance>(),
            "geometry_msgs::msg::dds_::TwistWithCovariance_");
  EXPECT_EQ(dds_type_name<nav_msgs::msg::Odometry>(), "nav_msgs::msg::dds_::Odometry_");
  EXPECT_EQ(dds_type_name<quorvane_protocol::msg::Align>(), "quorvane_protocol::msg::dds_::Align_");
}

TEST(Messages, ConversionsKeepEveryField) {
  const auto samples = message_samples::make();
  EXPECT_EQ(round_trip(samples.time), samples.time);
  EXPECT_EQ(round_trip(samples.header), samples.header);
  EXPECT_EQ(round_trip(samples.point), samples.point);
  EXPECT_EQ(round_trip(samples.quaternion), samples.quaternion);
  EXPECT_EQ(round_trip(samples.pose), samples.pose);
  EXPECT_EQ(round_trip(samples.pose_stamped), samples.pose_stamped);
  EXPECT_EQ(round_trip(samples.vector3), samples.vector3);
  EXPECT_EQ(round_trip(samples.twist), samples.twist);
  EXPECT_EQ(round_trip(samples.pose_with_covariance), samples.pose_with_covariance);
  EXPECT_EQ(round_trip(samples.twist_with_covariance), samples.twist_with_covariance);
  EXPECT_EQ(round_trip(samples.odometry), samples.odometry);
  EXPECT_EQ(round_trip(samples.align), samples.align);
}

TEST(Messages, EqualitySeesEachNestedField) {
  const auto samples = message_samples::make();
  auto odom = samples.odometry;
  odom.twist.covariance[35] += 1.0;
  EXPECT_NE(odom, samples.odometry);
  odom = samples.odometry;
  odom.child_frame_id += "x";
  EXPECT_NE(odom, samples.odometry);
  auto align = samples.align;
  align.success = 0;
  EXPECT_NE(align, samples.align);
}

}  // namespace
