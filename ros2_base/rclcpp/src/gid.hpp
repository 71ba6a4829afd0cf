#pragma once

#include <dds/dds.h>

#include <array>
#include <cstdint>

namespace rclcpp_dds {

// An entity's id as rmw_cyclonedds_cpp gives it: the 16-byte DDS GUID in
// network order, then 8 zero bytes.
using Gid = std::array<uint8_t, 24>;

Gid gid_from_guid(const dds_guid_t& guid);
// Throws when the entity has no GUID.
Gid gid_of(dds_entity_t entity);

}  // namespace rclcpp_dds
