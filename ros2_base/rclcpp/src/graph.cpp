#include "graph.hpp"

namespace rclcpp_dds {

Graph::Graph(dds_entity_t participant) : participant_(participant), listener_(participant) {}

void Graph::take_pending() { listener_.take_pending(cache_); }

const GraphCache& Graph::refresh() {
  take_pending();
  cache_.update_participant_entities(participant_.message());
  return cache_;
}

}  // namespace rclcpp_dds
