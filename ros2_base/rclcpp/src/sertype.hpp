#pragma once

#include <dds/dds.h>

#include <string>

#include "serialization.hpp"

namespace rclcpp_dds {

// What this layer hands to dds_write and gets back from a serdata: a message,
// and for services the request header that goes ahead of it.
struct Sample {
  void* message;
  RequestHeader* request_header = nullptr;
};

// "pkg::msg::dds_::Type_", as ROS 2 names its DDS types.
std::string dds_type_name(const MessageMembers& members);

// A DDS topic of one rosidl message type, serialized by this layer: XCDR1,
// keyless, samples given as Sample. Returns the topic or a DDS error code.
dds_entity_t create_topic(dds_entity_t participant, const std::string& name,
                          const MessageMembers& members, bool with_request_header);

// Takes at most one sample from a reader of such a type into `sample`;
// disposals and samples that do not decode are dropped. 1 taken, 0 none
// waiting, or a negative DDS return code. `info`, if given, gets the taken
// sample's info (services need its publication handle).
dds_return_t take_one(dds_entity_t reader, const Sample& sample, dds_sample_info_t* info = nullptr);

}  // namespace rclcpp_dds
