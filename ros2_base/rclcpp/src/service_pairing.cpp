#include "service_pairing.hpp"

#include <cstdint>
#include <iomanip>
#include <set>
#include <sstream>
#include <vector>

namespace rclcpp_dds {
namespace {

// The participant's GUID prefix and a big-endian counter, printed as
// rmw_cyclonedds_cpp prints it: hex bytes joined by '.', the first padded to
// two characters with a space.
std::string next_id(const Context& context) {
  dds_guid_t guid{};
  dds_get_guid(context.participant, &guid);
  const uint32_t n = ++context.last_service_or_client;
  for (int i = 0; i < 4; ++i) {
    guid.v[12 + i] = static_cast<uint8_t>(n >> (24 - 8 * i));
  }
  std::ostringstream os;
  os << std::hex << std::setw(2) << static_cast<int>(guid.v[0]);
  for (size_t i = 1; i < sizeof(guid.v); ++i) {
    os << '.' << static_cast<int>(guid.v[i]);
  }
  return os.str();
}

using MatchedFn = dds_return_t (*)(dds_entity_t, dds_instance_handle_t*, size_t);
using MatchDataFn = dds_builtintopic_endpoint_t* (*)(dds_entity_t, dds_instance_handle_t);

// Matches can come and go between the count and the fetch: ask again if the array was short.
std::vector<dds_instance_handle_t> matched(dds_entity_t entity, MatchedFn fn) {
  std::vector<dds_instance_handle_t> handles(8);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const dds_return_t n = fn(entity, handles.data(), handles.size());
    if (n < 0) {
      return {};
    }
    if (static_cast<size_t>(n) <= handles.size()) {
      handles.resize(static_cast<size_t>(n));
      return handles;
    }
    handles.resize(static_cast<size_t>(n) + 8);
  }
  return {};
}

std::optional<std::string> matched_value(dds_entity_t entity, MatchDataFn fn,
                                         dds_instance_handle_t handle, const std::string& key) {
  dds_builtintopic_endpoint_t* endpoint = fn(entity, handle);
  if (endpoint == nullptr) {
    return std::nullopt;
  }
  auto value = user_data_value(endpoint->qos, key);
  dds_builtintopic_free_endpoint(endpoint);
  return value;
}

}  // namespace

std::string service_user_data(const Context& context) {
  return "serviceid=" + next_id(context) + ";";
}

std::string client_user_data(const Context& context) {
  return "clientid=" + next_id(context) + ";";
}

std::optional<std::string> user_data_value(const dds_qos_t* qos, const std::string& key) {
  void* data = nullptr;
  size_t size = 0;
  if (qos == nullptr || !dds_qget_userdata(qos, &data, &size)) {
    return std::nullopt;
  }
  const std::string text(static_cast<const char*>(data), size);
  dds_free(data);
  for (size_t begin = 0; begin < text.size();) {
    size_t end = text.find(';', begin);
    if (end == std::string::npos) {
      end = text.size();
    }
    const size_t eq = text.find('=', begin);
    if (eq < end && text.compare(begin, eq - begin, key) == 0) {
      return text.substr(eq + 1, end - eq - 1);
    }
    begin = end + 1;
  }
  return std::nullopt;
}

ClientPresence client_presence(dds_entity_t request_reader, dds_entity_t reply_writer,
                               dds_instance_handle_t request_writer) {
  dds_builtintopic_endpoint_t* writer =
      dds_get_matched_publication_data(request_reader, request_writer);
  if (writer == nullptr) {
    return ClientPresence::gone;
  }
  const auto client_id = user_data_value(writer->qos, "clientid");
  dds_builtintopic_free_endpoint(writer);
  // A client that does not mark its endpoints: nothing to wait for.
  if (!client_id) {
    return ClientPresence::ready;
  }
  for (dds_instance_handle_t reader : matched(reply_writer, dds_get_matched_subscriptions)) {
    if (matched_value(reply_writer, dds_get_matched_subscription_data, reader, "clientid") ==
        client_id) {
      return ClientPresence::ready;
    }
  }
  return ClientPresence::waiting;
}

bool server_available(dds_entity_t request_writer, dds_entity_t reply_reader) {
  const auto readers = matched(request_writer, dds_get_matched_subscriptions);
  const auto writers = matched(reply_reader, dds_get_matched_publications);
  std::set<std::string> service_ids;
  for (dds_instance_handle_t reader : readers) {
    if (auto id =
            matched_value(request_writer, dds_get_matched_subscription_data, reader, "serviceid")) {
      service_ids.insert(*id);
    }
  }
  if (service_ids.empty()) {
    return !readers.empty() && !writers.empty();
  }
  for (dds_instance_handle_t writer : writers) {
    auto id = matched_value(reply_reader, dds_get_matched_publication_data, writer, "serviceid");
    if (id && service_ids.count(*id) != 0) {
      return true;
    }
  }
  return false;
}

}  // namespace rclcpp_dds
