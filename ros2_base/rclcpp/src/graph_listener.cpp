#include "graph_listener.hpp"

#include <cstring>
#include <stdexcept>
#include <string>

#include "context.hpp"
#include "qos_dds.hpp"
#include "rclcpp_dds/type_support.hpp"
#include "sertype.hpp"

namespace rclcpp_dds {
namespace {

// Bounds one refresh; what is left waits for the next query.
constexpr int kBatch = 32;
constexpr int kMaxBatches = 1000;

dds_entity_t checked(dds_entity_t entity, const char* what) {
  if (entity < 0) {
    throw std::runtime_error(std::string("cannot create the ") + what +
                             " reader: " + dds_error(entity));
  }
  return entity;
}

// The value of `enclave=...;` in a participant's USER_DATA; false when there is none.
bool enclave_of(const dds_qos_t* qos, std::string& enclave) {
  void* data = nullptr;
  size_t size = 0;
  if (qos == nullptr || !dds_qget_userdata(qos, &data, &size) || data == nullptr) {
    return false;
  }
  const std::string user_data(static_cast<const char*>(data), size);
  dds_free(data);
  const std::string key = "enclave=";
  for (size_t begin = 0; begin < user_data.size();) {
    const size_t end = std::min(user_data.find(';', begin), user_data.size());
    if (user_data.compare(begin, key.size(), key) == 0) {
      enclave = user_data.substr(begin + key.size(), end - begin - key.size());
      return true;
    }
    begin = end + 1;
  }
  return false;
}

// Calls handle(sample, alive) for each built-in sample waiting.
template <class BuiltinSample, class Handle>
void take_builtin(dds_entity_t reader, Handle&& handle) {
  for (int batch = 0; batch < kMaxBatches; ++batch) {
    void* samples[kBatch] = {};
    dds_sample_info_t infos[kBatch];
    const dds_return_t n = dds_take(reader, samples, infos, kBatch, kBatch);
    if (n <= 0) {
      return;
    }
    for (dds_return_t i = 0; i < n; ++i) {
      handle(*static_cast<const BuiltinSample*>(samples[i]),
             infos[i].instance_state == DDS_ALIVE_INSTANCE_STATE && infos[i].valid_data);
    }
    dds_return_loan(reader, samples, n);
    if (n < kBatch) {
      return;
    }
  }
}

void take_endpoints(dds_entity_t reader, EntityKind kind, GraphCache& cache) {
  take_builtin<dds_builtintopic_endpoint_t>(
      reader, [&](const dds_builtintopic_endpoint_t& sample, bool alive) {
        const Gid gid = gid_from_guid(sample.key);
        if (!alive) {
          cache.remove_endpoint(kind, gid);
        } else if (std::strncmp(sample.topic_name, "DCPS", 4) != 0) {
          cache.add_endpoint(kind, gid,
                             {sample.topic_name, sample.type_name,
                              gid_from_guid(sample.participant_key), from_dds_qos(sample.qos)});
        }
      });
}

}  // namespace

GraphListener::GraphListener(dds_entity_t participant) {
  participants_ =
      checked(dds_create_reader(participant, DDS_BUILTIN_TOPIC_DCPSPARTICIPANT, nullptr, nullptr),
              "DCPSParticipant");
  publications_ =
      checked(dds_create_reader(participant, DDS_BUILTIN_TOPIC_DCPSPUBLICATION, nullptr, nullptr),
              "DCPSPublication");
  subscriptions_ =
      checked(dds_create_reader(participant, DDS_BUILTIN_TOPIC_DCPSSUBSCRIPTION, nullptr, nullptr),
              "DCPSSubscription");
  const auto& members = message_members<rmw_dds_common::msg::ParticipantEntitiesInfo>();
  const dds_entity_t topic = create_topic(participant, "ros_discovery_info", members, false);
  if (topic < 0) {
    throw std::runtime_error("cannot create the ros_discovery_info topic: " + dds_error(topic));
  }
  // Every sample counts, each from another participant; the own one is read directly.
  dds_qos_t* qos = to_dds_qos(rclcpp::QoS(rclcpp::KeepAll()).transient_local());
  dds_qset_ignorelocal(qos, DDS_IGNORELOCAL_PARTICIPANT);
  discovery_info_ = dds_create_reader(participant, topic, qos, nullptr);
  dds_delete_qos(qos);
  checked(discovery_info_, "ros_discovery_info");
}

void GraphListener::take_pending(GraphCache& cache) {
  // Node lists first: a participant that has gone must not come back with
  // a sample of its that was still waiting.
  rmw_dds_common::msg::ParticipantEntitiesInfo info;
  for (int i = 0; i < kBatch * kMaxBatches && take_one(discovery_info_, {&info}) > 0; ++i) {
    cache.update_participant_entities(info);
  }
  take_builtin<dds_builtintopic_participant_t>(
      participants_, [&](const dds_builtintopic_participant_t& sample, bool alive) {
        const Gid gid = gid_from_guid(sample.key);
        std::string enclave;
        if (!alive) {
          cache.remove_participant(gid);
        } else if (enclave_of(sample.qos, enclave)) {
          cache.add_participant(gid, enclave);
        }
      });
  take_endpoints(publications_, EntityKind::writer, cache);
  take_endpoints(subscriptions_, EntityKind::reader, cache);
}

}  // namespace rclcpp_dds
