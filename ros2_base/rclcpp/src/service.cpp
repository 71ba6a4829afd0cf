#include "rclcpp/service.hpp"

#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>

#include "entities.hpp"
#include "graph_node.hpp"
#include "sertype.hpp"
#include "service_pairing.hpp"

namespace rclcpp {
namespace {

using Clock = std::chrono::steady_clock;

// A client's reply reader may match our reply writer some time after its
// request reached us; until then a volatile reply would be lost, so it waits
// here, but no longer than a client that is still coming could need.
constexpr auto kHoldLimit = std::chrono::seconds(5);

struct HeldReply {
  rclcpp_dds::RequestHeader header;
  dds_instance_handle_t request_writer;
  std::shared_ptr<void> response;
  Clock::time_point deadline;
};

}  // namespace

struct ServiceBase::Impl {
  Impl(const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& service_name,
       const rclcpp_dds::MessageMembers& request_members,
       const rclcpp_dds::MessageMembers& response_members, const QoS& qos)
      : user_data(rclcpp_dds::service_user_data(*rclcpp_dds::current_context())),
        reply_writer(rclcpp_dds::Endpoint::Kind::writer, service_name,
                     rclcpp_dds::reply_topic_for(service_name), response_members, qos, user_data),
        request_reader(rclcpp_dds::Endpoint::Kind::reader, service_name,
                       rclcpp_dds::request_topic_for(service_name), request_members, qos,
                       user_data),
        registrations{
            node->register_entity(reply_writer.entity(), rclcpp_dds::EntityKind::writer),
            node->register_entity(request_reader.entity(), rclcpp_dds::EntityKind::reader)} {}

  rclcpp_dds::ClientPresence presence(dds_instance_handle_t request_writer) const {
    return rclcpp_dds::client_presence(request_reader.entity(), reply_writer.entity(),
                                       request_writer);
  }

  void write(rclcpp_dds::RequestHeader header, const std::shared_ptr<void>& response) {
    const rclcpp_dds::Sample sample{response.get(), &header};
    const dds_return_t ret = dds_write(reply_writer.entity(), &sample);
    if (ret < 0 && reply_writer.live()) {
      throw std::runtime_error("failed to send a reply on '" + reply_writer.topic_name() +
                               "': " + rclcpp_dds::dds_error(ret));
    }
  }

  void send_held() {
    const auto now = Clock::now();
    for (auto it = held.begin(); it != held.end();) {
      const auto state = presence(it->request_writer);
      if (state == rclcpp_dds::ClientPresence::ready) {
        write(it->header, it->response);
      } else if (state == rclcpp_dds::ClientPresence::waiting && now < it->deadline) {
        ++it;
        continue;
      }
      it = held.erase(it);
    }
  }

  void reply(const rclcpp_dds::RequestHeader& header, dds_instance_handle_t request_writer,
             std::shared_ptr<void> response) {
    std::lock_guard<std::mutex> lock(mutex);
    switch (presence(request_writer)) {
      case rclcpp_dds::ClientPresence::gone:
        break;
      case rclcpp_dds::ClientPresence::ready:
        write(header, response);
        break;
      case rclcpp_dds::ClientPresence::waiting:
        held.push_back({header, request_writer, std::move(response), Clock::now() + kHoldLimit});
        break;
    }
  }

  std::string user_data;
  rclcpp_dds::Endpoint reply_writer;
  rclcpp_dds::Endpoint request_reader;
  std::unique_ptr<rclcpp_dds::GraphRegistration> registrations[2];
  // A deferred reply may come from another thread than spin_some's.
  std::mutex mutex;
  std::deque<HeldReply> held;
  std::shared_ptr<void> next_request;
};

ServiceBase::ServiceBase(
    const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& service_name,
    const rosidl_typesupport_introspection_cpp::MessageMembers& request_members,
    const rosidl_typesupport_introspection_cpp::MessageMembers& response_members, const QoS& qos)
    : impl_(std::make_unique<Impl>(node, service_name, request_members, response_members, qos)) {}

ServiceBase::~ServiceBase() = default;

const char* ServiceBase::get_service_name() const {
  return impl_->request_reader.topic_name().c_str();
}

bool ServiceBase::take_and_handle() {
  if (!impl_->request_reader.live()) {
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->send_held();
  }
  if (!impl_->next_request) {
    impl_->next_request = make_request();
  }
  rclcpp_dds::RequestHeader header;
  dds_sample_info_t info;
  if (rclcpp_dds::take_one(impl_->request_reader.entity(), {impl_->next_request.get(), &header},
                           &info) <= 0) {
    return false;
  }
  // As rmw_cyclonedds_cpp fills it: the client's id, then the publication that carried the request.
  auto request_id = std::make_shared<rmw_request_id_t>();
  static_assert(sizeof(request_id->writer_guid) ==
                sizeof(header.guid) + sizeof(dds_instance_handle_t));
  std::memcpy(request_id->writer_guid, &header.guid, sizeof(header.guid));
  std::memcpy(request_id->writer_guid + sizeof(header.guid), &info.publication_handle,
              sizeof(info.publication_handle));
  request_id->sequence_number = header.sequence;
  auto response = handle(std::move(request_id), std::move(impl_->next_request));
  if (response) {
    impl_->reply(header, info.publication_handle, std::move(response));
  }
  return true;
}

void ServiceBase::send_response_erased(const rmw_request_id_t& request_id,
                                       std::shared_ptr<void> response) {
  if (!impl_->request_reader.live()) {
    return;
  }
  // The request id carries what the reply needs: the client's id, the publication the
  // request came from, and its sequence number (see take_and_handle).
  rclcpp_dds::RequestHeader header;
  dds_instance_handle_t request_writer = 0;
  std::memcpy(&header.guid, request_id.writer_guid, sizeof(header.guid));
  std::memcpy(&request_writer, request_id.writer_guid + sizeof(header.guid),
              sizeof(request_writer));
  header.sequence = request_id.sequence_number;
  impl_->reply(header, request_writer, std::move(response));
}

}  // namespace rclcpp
