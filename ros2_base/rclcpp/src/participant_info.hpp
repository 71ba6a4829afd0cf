#pragma once

#include <dds/dds.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gid.hpp"
#include "graph_cache.hpp"
#include "rmw_dds_common/msg/participant_entities_info.hpp"

namespace rclcpp_dds {

// The nodes of this participant and their readers and writers, republished
// on ros_discovery_info after every change, as rmw_cyclonedds_cpp does.
class ParticipantInfo {
 public:
  // Creates the ros_discovery_info writer; throws on failure.
  explicit ParticipantInfo(dds_entity_t participant);

  uint64_t add_node(const std::string& node_namespace, const std::string& node_name);
  void remove_node(uint64_t node);
  void add_entity(uint64_t node, EntityKind kind, const Gid& gid);
  void remove_entity(uint64_t node, EntityKind kind, const Gid& gid);

  const rmw_dds_common::msg::ParticipantEntitiesInfo& message() const { return message_; }

 private:
  rmw_dds_common::msg::NodeEntitiesInfo* find(uint64_t node);
  void publish();

  dds_entity_t writer_ = 0;
  uint64_t next_node_ = 0;
  std::vector<uint64_t> node_ids_;  // one per entry of message_.node_entities_info_seq
  rmw_dds_common::msg::ParticipantEntitiesInfo message_;
};

}  // namespace rclcpp_dds
