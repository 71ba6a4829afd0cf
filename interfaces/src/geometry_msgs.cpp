#include <algorithm>

#include "conversions.hpp"
#include "geometry_msgs/msg/PoseStamped.h"
#include "geometry_msgs/msg/pose_stamped.hpp"

namespace ros_interfaces {

void to_dds(const geometry_msgs::msg::Point& in, geometry_msgs_msg_dds__Point_& out) {
  out.x = in.x;
  out.y = in.y;
  out.z = in.z;
}

void from_dds(const geometry_msgs_msg_dds__Point_& in, geometry_msgs::msg::Point& out) {
  out.x = in.x;
  out.y = in.y;
  out.z = in.z;
}

void to_dds(const geometry_msgs::msg::Quaternion& in, geometry_msgs_msg_dds__Quaternion_& out) {
  out.x = in.x;
  out.y = in.y;
  out.z = in.z;
  out.w = in.w;
}

void from_dds(const geometry_msgs_msg_dds__Quaternion_& in, geometry_msgs::msg::Quaternion& out) {
  out.x = in.x;
  out.y = in.y;
  out.z = in.z;
  out.w = in.w;
}

void to_dds(const geometry_msgs::msg::Pose& in, geometry_msgs_msg_dds__Pose_& out) {
  to_dds(in.position, out.position);
  to_dds(in.orientation, out.orientation);
}

void from_dds(const geometry_msgs_msg_dds__Pose_& in, geometry_msgs::msg::Pose& out) {
  from_dds(in.position, out.position);
  from_dds(in.orientation, out.orientation);
}

void to_dds(const geometry_msgs::msg::Vector3& in, geometry_msgs_msg_dds__Vector3_& out) {
  out.x = in.x;
  out.y = in.y;
  out.z = in.z;
}

void from_dds(const geometry_msgs_msg_dds__Vector3_& in, geometry_msgs::msg::Vector3& out) {
  out.x = in.x;
  out.y = in.y;
  out.z = in.z;
}

void to_dds(const geometry_msgs::msg::Twist& in, geometry_msgs_msg_dds__Twist_& out) {
  to_dds(in.linear, out.linear);
  to_dds(in.angular, out.angular);
}

void from_dds(const geometry_msgs_msg_dds__Twist_& in, geometry_msgs::msg::Twist& out) {
  from_dds(in.linear, out.linear);
  from_dds(in.angular, out.angular);
}

void to_dds(const geometry_msgs::msg::PoseWithCovariance& in,
            geometry_msgs_msg_dds__PoseWithCovariance_& out) {
  to_dds(in.pose, out.pose);
  std::copy(in.covariance.begin(), in.covariance.end(), out.covariance);
}

void from_dds(const geometry_msgs_msg_dds__PoseWithCovariance_& in,
              geometry_msgs::msg::PoseWithCovariance& out) {
  from_dds(in.pose, out.pose);
  std::copy(std::begin(in.covariance), std::end(in.covariance), out.covariance.begin());
}

void to_dds(const geometry_msgs::msg::TwistWithCovariance& in,
            geometry_msgs_msg_dds__TwistWithCovariance_& out) {
  to_dds(in.twist, out.twist);
  std::copy(in.covariance.begin(), in.covariance.end(), out.covariance);
}

void from_dds(const geometry_msgs_msg_dds__TwistWithCovariance_& in,
              geometry_msgs::msg::TwistWithCovariance& out) {
  from_dds(in.twist, out.twist);
  std::copy(std::begin(in.covariance), std::end(in.covariance), out.covariance.begin());
}

static void to_dds(const geometry_msgs::msg::PoseStamped& in,
                   geometry_msgs_msg_dds__PoseStamped_& out) {
  to_dds(in.header, out.header);
  to_dds(in.pose, out.pose);
}

static void from_dds(const geometry_msgs_msg_dds__PoseStamped_& in,
                     geometry_msgs::msg::PoseStamped& out) {
  from_dds(in.header, out.header);
  from_dds(in.pose, out.pose);
}

}  // namespace ros_interfaces

namespace rclcpp_dds {

#define ROS_INTERFACES_TYPE_SUPPORT(Type)                                             \
  template <>                                                                         \
  const TypeSupport& type_support<geometry_msgs::msg::Type>() {                       \
    static const TypeSupport support =                                                \
        make_type_support<geometry_msgs::msg::Type, geometry_msgs_msg_dds__##Type##_, \
                          &ros_interfaces::to_dds, &ros_interfaces::from_dds>(        \
            &geometry_msgs_msg_dds__##Type##__desc);                                  \
    return support;                                                                   \
  }

ROS_INTERFACES_TYPE_SUPPORT(Point)
ROS_INTERFACES_TYPE_SUPPORT(Quaternion)
ROS_INTERFACES_TYPE_SUPPORT(Pose)
ROS_INTERFACES_TYPE_SUPPORT(PoseStamped)
ROS_INTERFACES_TYPE_SUPPORT(Vector3)
ROS_INTERFACES_TYPE_SUPPORT(Twist)
ROS_INTERFACES_TYPE_SUPPORT(PoseWithCovariance)
ROS_INTERFACES_TYPE_SUPPORT(TwistWithCovariance)

#undef ROS_INTERFACES_TYPE_SUPPORT

}  // namespace rclcpp_dds
