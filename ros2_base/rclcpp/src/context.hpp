#pragma once

#include <dds/dds.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "arguments.hpp"

namespace rclcpp_dds {

class Graph;

// What one init() .. shutdown() span shares with nodes and DDS entities.
struct Context {
  Arguments arguments;
  uint32_t domain_id = 0;
  dds_entity_t domain = 0;  // only when the built-in profile was used
  dds_entity_t participant = 0;
  // Numbers the services and clients of the span, as their ids on the wire.
  mutable std::atomic<uint32_t> last_service_or_client{0};
  std::shared_ptr<Graph> graph;  // the participant's ROS graph, from init() on
};

// The context of the current span; throws when rclcpp::init has not run or
// rclcpp::shutdown has released it.
std::shared_ptr<const Context> current_context();

// True while the given context is the live one and not shut down; entities
// of an earlier span then know their handles are gone.
bool is_live(const Context& context);

// ROS_DOMAIN_ID as rcl reads it: unset or empty gives 0. Throws on anything
// that is not a domain id DDS can map to ports.
uint32_t domain_id_from_env(const char* value);

// CYCLONEDDS_URI as Cyclone DDS reads it: entries separated by commas, each a file (a path
// or a file:// URI), until one that starts with '<', inline XML to the end. Throws naming
// the first file entry that is not a readable regular file: Cyclone would read a directory
// as an empty profile and fall back to its defaults, multicast on every interface.
void check_cyclonedds_uri(const std::string& value);

// The built-in loopback-only profile, used when CYCLONEDDS_URI is unset.
extern const char* const loopback_profile;

std::string dds_error(dds_return_t ret);

}  // namespace rclcpp_dds
