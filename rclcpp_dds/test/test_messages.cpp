// Message types: DDS type names and the C sample conversions keep every field.
#include <dds/dds.h>
#include <gtest/gtest.h>

#include <type_traits>
#include <vector>

#include "message_samples.hpp"

namespace {

// Each type's DDS name as ROS 2's; and through a C sample as the layer does
// it, the sample's memory freshly dirtied so that a field left unset shows.
TEST(Messages, Ros2TypeNamesAndConversionsKeepEveryField) {
  message_samples::for_each(message_samples::make(), [](const auto& in, const char* type_name) {
    using M = std::decay_t<decltype(in)>;
    const auto& support = rclcpp_dds::type_support<M>();
    EXPECT_STREQ(static_cast<const dds_topic_descriptor_t*>(support.descriptor)->m_typename,
                 type_name);
    std::vector<unsigned char> sample(support.sample_size, 0xA5);
    support.to_dds(&in, sample.data());
    M out;
    support.from_dds(sample.data(), &out);
    EXPECT_EQ(out, in) << type_name;
  });
}

// The conversion and echo checks rely on == seeing nested fields.
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
