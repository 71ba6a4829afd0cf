#pragma once

#include <dds/dds.h>

#include "graph_cache.hpp"
#include "graph_listener.hpp"
#include "participant_info.hpp"

namespace rclcpp_dds {

// The ROS graph of one participant: what it announces and what it has learnt.
class Graph {
 public:
  explicit Graph(dds_entity_t participant);

  ParticipantInfo& participant() { return participant_; }
  // Moves what discovery delivered into the cache. spin_some calls it too:
  // the readers keep every sample until taken, and a node that never asks
  // about the graph must not hold them for the life of the process.
  void take_pending();
  // The cache with everything discovery delivered so far and this
  // participant's own nodes as they are now, as rmw feeds its own in.
  const GraphCache& refresh();

 private:
  ParticipantInfo participant_;
  GraphListener listener_;
  GraphCache cache_;
};

}  // namespace rclcpp_dds
