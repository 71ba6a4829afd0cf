#include "participant_info.hpp"

#include <algorithm>
#include <stdexcept>

#include "context.hpp"
#include "qos_dds.hpp"
#include "rclcpp_dds/type_support.hpp"
#include "sertype.hpp"

namespace rclcpp_dds {
namespace {

rmw_dds_common::msg::Gid to_message(const Gid& gid) {
  rmw_dds_common::msg::Gid message;
  std::copy(gid.begin(), gid.end(), message.data.begin());
  return message;
}

}  // namespace

ParticipantInfo::ParticipantInfo(dds_entity_t participant) {
  const auto& members = message_members<rmw_dds_common::msg::ParticipantEntitiesInfo>();
  // No "rt" prefix: this topic is outside the ROS namespace.
  const dds_entity_t topic = create_topic(participant, "ros_discovery_info", members, false);
  if (topic < 0) {
    throw std::runtime_error("cannot create the ros_discovery_info topic: " + dds_error(topic));
  }
  dds_qos_t* qos = to_dds_qos(rclcpp::QoS(rclcpp::KeepLast(1)).transient_local());
  writer_ = dds_create_writer(participant, topic, qos, nullptr);
  dds_delete_qos(qos);
  if (writer_ < 0) {
    throw std::runtime_error("cannot create the ros_discovery_info writer: " + dds_error(writer_));
  }
  message_.gid = to_message(gid_of(participant));
  publish();
}

uint64_t ParticipantInfo::add_node(const std::string& node_namespace,
                                   const std::string& node_name) {
  rmw_dds_common::msg::NodeEntitiesInfo node;
  node.node_namespace = node_namespace;
  node.node_name = node_name;
  message_.node_entities_info_seq.push_back(std::move(node));
  node_ids_.push_back(++next_node_);
  publish();
  return next_node_;
}

void ParticipantInfo::remove_node(uint64_t node) {
  const auto it = std::find(node_ids_.begin(), node_ids_.end(), node);
  if (it == node_ids_.end()) {
    return;
  }
  auto& nodes = message_.node_entities_info_seq;
  nodes.erase(nodes.begin() + (it - node_ids_.begin()));
  node_ids_.erase(it);
  publish();
}

void ParticipantInfo::add_entity(uint64_t node, EntityKind kind, const Gid& gid) {
  if (auto* info = find(node)) {
    (kind == EntityKind::reader ? info->reader_gid_seq : info->writer_gid_seq)
        .push_back(to_message(gid));
    publish();
  }
}

void ParticipantInfo::remove_entity(uint64_t node, EntityKind kind, const Gid& gid) {
  if (auto* info = find(node)) {
    auto& gids = kind == EntityKind::reader ? info->reader_gid_seq : info->writer_gid_seq;
    const auto message = to_message(gid);
    gids.erase(std::remove(gids.begin(), gids.end(), message), gids.end());
    publish();
  }
}

rmw_dds_common::msg::NodeEntitiesInfo* ParticipantInfo::find(uint64_t node) {
  const auto it = std::find(node_ids_.begin(), node_ids_.end(), node);
  return it == node_ids_.end() ? nullptr : &message_.node_entities_info_seq[it - node_ids_.begin()];
}

void ParticipantInfo::publish() {
  // Best effort: a peer that misses one sample gets the next, and the
  // transient-local history hands the latest to late joiners.
  const Sample sample{&message_};
  dds_write(writer_, &sample);
}

}  // namespace rclcpp_dds
