#include "graph_node.hpp"

#include "graph.hpp"

namespace rclcpp_dds {

GraphNode::GraphNode(std::shared_ptr<const Context> context, const std::string& node_namespace,
                     const std::string& node_name)
    : context_(std::move(context)),
      id_(context_->graph->participant().add_node(node_namespace, node_name)) {}

GraphNode::~GraphNode() {
  // After shutdown the writer went with the participant.
  if (is_live(*context_)) {
    context_->graph->participant().remove_node(id_);
  }
}

std::unique_ptr<GraphRegistration> GraphNode::register_entity(dds_entity_t entity,
                                                              EntityKind kind) {
  return std::make_unique<GraphRegistration>(shared_from_this(), kind, gid_of(entity));
}

GraphRegistration::GraphRegistration(std::shared_ptr<GraphNode> node, EntityKind kind,
                                     const Gid& gid)
    : node_(std::move(node)), kind_(kind), gid_(gid) {
  node_->context_->graph->participant().add_entity(node_->id_, kind_, gid_);
}

GraphRegistration::~GraphRegistration() {
  if (is_live(*node_->context_)) {
    node_->context_->graph->participant().remove_entity(node_->id_, kind_, gid_);
  }
}

}  // namespace rclcpp_dds
