#pragma once

#include <dds/dds.h>

#include "graph_cache.hpp"

namespace rclcpp_dds {

// Readers of what other participants announce: the DCPSParticipant,
// DCPSPublication and DCPSSubscription built-in topics and ros_discovery_info.
// Nothing runs in the background; take_pending moves what has arrived into a cache.
class GraphListener {
 public:
  // Throws when a reader cannot be created.
  explicit GraphListener(dds_entity_t participant);

  void take_pending(GraphCache& cache);

 private:
  dds_entity_t participants_ = 0;
  dds_entity_t publications_ = 0;
  dds_entity_t subscriptions_ = 0;
  dds_entity_t discovery_info_ = 0;
};

}  // namespace rclcpp_dds
