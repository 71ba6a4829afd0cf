#include "gid.hpp"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "context.hpp"

namespace rclcpp_dds {

Gid gid_from_guid(const dds_guid_t& guid) {
  Gid gid{};
  std::copy(std::begin(guid.v), std::end(guid.v), gid.begin());
  return gid;
}

Gid gid_of(dds_entity_t entity) {
  dds_guid_t guid;
  const dds_return_t ret = dds_get_guid(entity, &guid);
  if (ret < 0) {
    throw std::runtime_error("cannot read the GUID of a DDS entity: " + dds_error(ret));
  }
  return gid_from_guid(guid);
}

}  // namespace rclcpp_dds
