#pragma once

#include <dds/dds.h>

#include <cstdint>
#include <memory>
#include <string>

#include "context.hpp"
#include "gid.hpp"
#include "graph_cache.hpp"

namespace rclcpp_dds {

class GraphRegistration;

// A node's entry in its participant's ros_discovery_info, there from
// construction until the node and all of its registered entities are gone.
class GraphNode : public std::enable_shared_from_this<GraphNode> {
 public:
  GraphNode(std::shared_ptr<const Context> context, const std::string& node_namespace,
            const std::string& node_name);
  GraphNode(const GraphNode&) = delete;
  GraphNode& operator=(const GraphNode&) = delete;
  ~GraphNode();

  // Lists a DDS reader or writer of this node until the result is destroyed:
  // one per publisher or subscription, two per service (request reader,
  // reply writer) and per client (request writer, reply reader).
  std::unique_ptr<GraphRegistration> register_entity(dds_entity_t entity, EntityKind kind);

 private:
  friend class GraphRegistration;

  std::shared_ptr<const Context> context_;
  uint64_t id_;
};

class GraphRegistration {
 public:
  GraphRegistration(std::shared_ptr<GraphNode> node, EntityKind kind, const Gid& gid);
  GraphRegistration(const GraphRegistration&) = delete;
  GraphRegistration& operator=(const GraphRegistration&) = delete;
  ~GraphRegistration();

 private:
  std::shared_ptr<GraphNode> node_;
  EntityKind kind_;
  Gid gid_;
};

}  // namespace rclcpp_dds
