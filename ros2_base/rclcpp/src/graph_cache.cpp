#include "graph_cache.hpp"

#include <algorithm>
#include <set>

namespace rclcpp_dds {
namespace {

Gid gid_from_message(const rmw_dds_common::msg::Gid& gid) {
  Gid result{};
  std::copy(gid.data.begin(), gid.data.end(), result.begin());
  return result;
}

std::vector<Gid> gids_from_message(const std::vector<rmw_dds_common::msg::Gid>& gids) {
  std::vector<Gid> result;
  result.reserve(gids.size());
  std::transform(gids.begin(), gids.end(), std::back_inserter(result), gid_from_message);
  return result;
}

bool contains(const std::vector<Gid>& gids, const Gid& gid) {
  return std::find(gids.begin(), gids.end(), gid) != gids.end();
}

NamesAndTypes to_vectors(const std::map<std::string, std::set<std::string>>& sets) {
  NamesAndTypes result;
  for (const auto& [name, types] : sets) {
    result[name].assign(types.begin(), types.end());
  }
  return result;
}

}  // namespace

void GraphCache::add_participant(const Gid& gid, const std::string& enclave) {
  participants_[gid].enclave = enclave;
}

void GraphCache::remove_participant(const Gid& gid) { participants_.erase(gid); }

void GraphCache::update_participant_entities(
    const rmw_dds_common::msg::ParticipantEntitiesInfo& info) {
  auto& nodes = participants_[gid_from_message(info.gid)].nodes;
  nodes.clear();
  for (const auto& node : info.node_entities_info_seq) {
    nodes.push_back({node.node_name, node.node_namespace, gids_from_message(node.reader_gid_seq),
                     gids_from_message(node.writer_gid_seq)});
  }
}

void GraphCache::add_endpoint(EntityKind kind, const Gid& gid, DiscoveredEndpoint endpoint) {
  endpoints(kind).insert_or_assign(gid, std::move(endpoint));
}

void GraphCache::remove_endpoint(EntityKind kind, const Gid& gid) { endpoints(kind).erase(gid); }

std::vector<std::pair<std::string, std::string>> GraphCache::node_names_and_namespaces() const {
  std::vector<std::pair<std::string, std::string>> result;
  for (const auto& [gid, participant] : participants_) {
    for (const auto& node : participant.nodes) {
      result.emplace_back(node.name, node.ns);
    }
  }
  return result;
}

size_t GraphCache::count(EntityKind kind, const std::string& dds_topic) const {
  const Endpoints& all = endpoints(kind);
  return std::count_if(all.begin(), all.end(),
                       [&](const auto& entry) { return entry.second.topic == dds_topic; });
}

NamesAndTypes GraphCache::names_and_types(Demangle topic, Demangle type) const {
  std::map<std::string, std::set<std::string>> found;
  for (const Endpoints* all : {&readers_, &writers_}) {
    for (const auto& [gid, endpoint] : *all) {
      const std::string name = topic(endpoint.topic);
      if (!name.empty()) {
        found[name].insert(type(endpoint.type));
      }
    }
  }
  return to_vectors(found);
}

std::optional<NamesAndTypes> GraphCache::names_and_types_by_node(const std::string& name,
                                                                 const std::string& ns,
                                                                 EntityKind kind, Demangle topic,
                                                                 Demangle type) const {
  for (const auto& [participant_gid, participant] : participants_) {
    for (const auto& node : participant.nodes) {
      if (node.name != name || node.ns != ns) {
        continue;
      }
      std::map<std::string, std::set<std::string>> found;
      const Endpoints& all = endpoints(kind);
      for (const Gid& gid : kind == EntityKind::reader ? node.readers : node.writers) {
        const auto endpoint = all.find(gid);
        if (endpoint == all.end()) {
          continue;  // listed by its node, not yet discovered
        }
        const std::string topic_name = topic(endpoint->second.topic);
        if (!topic_name.empty()) {
          found[topic_name].insert(type(endpoint->second.type));
        }
      }
      return to_vectors(found);
    }
  }
  return std::nullopt;
}

std::pair<std::string, std::string> GraphCache::owner_of(EntityKind kind, const Gid& gid,
                                                         const Gid& participant_gid) const {
  const auto participant = participants_.find(participant_gid);
  if (participant == participants_.end()) {
    return {"_CREATED_BY_BARE_DDS_APP_", "_CREATED_BY_BARE_DDS_APP_"};
  }
  for (const auto& node : participant->second.nodes) {
    if (contains(kind == EntityKind::reader ? node.readers : node.writers, gid)) {
      return {node.name, node.ns};
    }
  }
  return {"_NODE_NAME_UNKNOWN_", "_NODE_NAMESPACE_UNKNOWN_"};
}

std::vector<rclcpp::TopicEndpointInfo> GraphCache::endpoints_info(EntityKind kind,
                                                                  const std::string& dds_topic,
                                                                  Demangle type) const {
  std::vector<rclcpp::TopicEndpointInfo> result;
  for (const auto& [gid, endpoint] : endpoints(kind)) {
    if (endpoint.topic != dds_topic) {
      continue;
    }
    auto [name, ns] = owner_of(kind, gid, endpoint.participant);
    result.emplace_back(std::move(name), std::move(ns), type(endpoint.type),
                        kind == EntityKind::reader ? rclcpp::EndpointType::Subscription
                                                   : rclcpp::EndpointType::Publisher,
                        gid, endpoint.qos);
  }
  return result;
}

}  // namespace rclcpp_dds
