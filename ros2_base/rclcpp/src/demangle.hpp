#pragma once

#include <string>

namespace rclcpp_dds {

// DDS topic and type names back to ROS names, as rmw_cyclonedds_cpp does;
// an empty result means "not of that kind".

// "rt/name" -> "/name".
std::string demangle_topic(const std::string& dds_topic);
// "rq/nameRequest" -> "/name".
std::string demangle_service_request(const std::string& dds_topic);
// "rr/nameReply" -> "/name".
std::string demangle_service_reply(const std::string& dds_topic);
// Either of the two above.
std::string demangle_service(const std::string& dds_topic);
// "pkg::msg::dds_::Type_" -> "pkg/msg/Type"; anything else unchanged.
std::string demangle_type(const std::string& dds_type);
// "pkg::srv::dds_::Type_Request_" or "..._Response_" -> "pkg/srv/Type".
std::string demangle_service_type(const std::string& dds_type);
std::string keep_name(const std::string& name);

}  // namespace rclcpp_dds
