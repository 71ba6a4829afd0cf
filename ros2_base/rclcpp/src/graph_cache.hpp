#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gid.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/topic_endpoint_info.hpp"
#include "rmw_dds_common/msg/participant_entities_info.hpp"

namespace rclcpp_dds {

enum class EntityKind { reader, writer };

using NamesAndTypes = std::map<std::string, std::vector<std::string>>;
using Demangle = std::string (*)(const std::string&);

// A reader or writer seen through DDS discovery.
struct DiscoveredEndpoint {
  std::string topic;  // DDS topic name, e.g. "rt/cmd_vel"
  std::string type;   // DDS type name
  Gid participant;
  rclcpp::QoS qos;
};

// The ROS graph as rmw_dds_common keeps it: participants with the nodes
// their ros_discovery_info lists, and every discovered reader and writer.
// An endpoint belongs to a node when its participant's info lists its gid.
class GraphCache {
 public:
  void add_participant(const Gid& gid, const std::string& enclave);
  // Drops the participant and its nodes.
  void remove_participant(const Gid& gid);
  // Replaces the participant's node list.
  void update_participant_entities(const rmw_dds_common::msg::ParticipantEntitiesInfo& info);
  void add_endpoint(EntityKind kind, const Gid& gid, DiscoveredEndpoint endpoint);
  void remove_endpoint(EntityKind kind, const Gid& gid);

  // (name, namespace) of every node of every participant.
  std::vector<std::pair<std::string, std::string>> node_names_and_namespaces() const;
  size_t count(EntityKind kind, const std::string& dds_topic) const;
  // Topics of all readers and writers whose name demangles, with their types.
  NamesAndTypes names_and_types(Demangle topic, Demangle type) const;
  // The node's readers or writers; nullopt when there is no such node.
  std::optional<NamesAndTypes> names_and_types_by_node(const std::string& name,
                                                       const std::string& ns, EntityKind kind,
                                                       Demangle topic, Demangle type) const;
  std::vector<rclcpp::TopicEndpointInfo> endpoints_info(EntityKind kind,
                                                        const std::string& dds_topic,
                                                        Demangle type) const;

 private:
  struct Node {
    std::string name;
    std::string ns;
    std::vector<Gid> readers;
    std::vector<Gid> writers;
  };
  struct Participant {
    std::string enclave;
    std::vector<Node> nodes;
  };
  using Endpoints = std::map<Gid, DiscoveredEndpoint>;

  const Endpoints& endpoints(EntityKind kind) const {
    return kind == EntityKind::reader ? readers_ : writers_;
  }
  Endpoints& endpoints(EntityKind kind) { return kind == EntityKind::reader ? readers_ : writers_; }
  // (name, namespace) of the node owning the endpoint, or the names rmw uses when none does.
  std::pair<std::string, std::string> owner_of(EntityKind kind, const Gid& gid,
                                               const Gid& participant) const;

  std::map<Gid, Participant> participants_;
  Endpoints readers_;
  Endpoints writers_;
};

}  // namespace rclcpp_dds
