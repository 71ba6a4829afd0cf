#pragma once

#include <dds/dds.h>

#include "rclcpp/qos.hpp"

namespace rclcpp_dds {

// The reader or writer QoS rmw_cyclonedds_cpp makes of a ROS QoS, XCDR1 only.
// The caller deletes the result.
dds_qos_t* to_dds_qos(const rclcpp::QoS& qos);

// What a discovered endpoint advertises, read back as rmw does.
rclcpp::QoS from_dds_qos(const dds_qos_t* qos);

}  // namespace rclcpp_dds
