#include "rclcpp/client.hpp"

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "entities.hpp"
#include "graph_node.hpp"
#include "rclcpp/utilities.hpp"
#include "sertype.hpp"
#include "service_pairing.hpp"

namespace rclcpp {
namespace {

// Replies to one client taken per spin_some, so that a flood cannot hold the loop.
constexpr int kMaxRepliesPerSpin = 256;
constexpr auto kServicePollPeriod = std::chrono::milliseconds(10);

// rmw_cyclonedds_cpp numbers the requests of all clients of a process together, from 1.
std::atomic<uint32_t> g_last_sequence{0};

}  // namespace

struct ClientBase::Impl {
  Impl(const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& service_name,
       const rclcpp_dds::MessageMembers& request_members,
       const rclcpp_dds::MessageMembers& response_members, const QoS& qos)
      : user_data(rclcpp_dds::client_user_data(*rclcpp_dds::current_context())),
        request_writer(rclcpp_dds::Endpoint::Kind::writer, service_name,
                       rclcpp_dds::request_topic_for(service_name), request_members, qos,
                       user_data),
        reply_reader(rclcpp_dds::Endpoint::Kind::reader, service_name,
                     rclcpp_dds::reply_topic_for(service_name), response_members, qos, user_data),
        registrations{
            node->register_entity(request_writer.entity(), rclcpp_dds::EntityKind::writer),
            node->register_entity(reply_reader.entity(), rclcpp_dds::EntityKind::reader)} {
    // The client's id on the wire is its request writer's instance handle.
    dds_instance_handle_t handle = 0;
    dds_get_instance_handle(request_writer.entity(), &handle);
    client_id = handle;
  }

  std::string user_data;
  rclcpp_dds::Endpoint request_writer;
  rclcpp_dds::Endpoint reply_reader;
  std::unique_ptr<rclcpp_dds::GraphRegistration> registrations[2];
  uint64_t client_id = 0;
  std::shared_ptr<void> next_response;
};

ClientBase::ClientBase(const std::shared_ptr<rclcpp_dds::GraphNode>& node,
                       const std::string& service_name,
                       const rosidl_typesupport_introspection_cpp::MessageMembers& request_members,
                       const rosidl_typesupport_introspection_cpp::MessageMembers& response_members,
                       const QoS& qos)
    : impl_(std::make_unique<Impl>(node, service_name, request_members, response_members, qos)) {}

ClientBase::~ClientBase() = default;

const char* ClientBase::get_service_name() const {
  return impl_->request_writer.topic_name().c_str();
}

bool ClientBase::service_is_ready() const {
  return impl_->request_writer.live() &&
         rclcpp_dds::server_available(impl_->request_writer.entity(), impl_->reply_reader.entity());
}

bool ClientBase::wait_for_service_nanoseconds(std::chrono::nanoseconds timeout) {
  const auto start = std::chrono::steady_clock::now();
  while (ok()) {
    if (service_is_ready()) {
      return true;
    }
    const auto left = timeout - (std::chrono::steady_clock::now() - start);
    if (timeout >= std::chrono::nanoseconds::zero() && left <= std::chrono::nanoseconds::zero()) {
      return false;
    }
    sleep_for(timeout < std::chrono::nanoseconds::zero()
                  ? kServicePollPeriod
                  : std::min<std::chrono::nanoseconds>(kServicePollPeriod, left));
  }
  return false;
}

int64_t ClientBase::send_request_erased(const void* request) {
  rclcpp_dds::RequestHeader header;
  header.guid = impl_->client_id;
  header.sequence = ++g_last_sequence;
  if (!impl_->request_writer.live()) {
    return header.sequence;
  }
  const rclcpp_dds::Sample sample{const_cast<void*>(request), &header};
  const dds_return_t ret = dds_write(impl_->request_writer.entity(), &sample);
  if (ret < 0 && impl_->request_writer.live()) {
    throw std::runtime_error("failed to send a request on '" + impl_->request_writer.topic_name() +
                             "': " + rclcpp_dds::dds_error(ret));
  }
  return header.sequence;
}

bool ClientBase::take_and_complete() {
  bool took = false;
  for (int i = 0; i < kMaxRepliesPerSpin && impl_->reply_reader.live(); ++i) {
    if (!impl_->next_response) {
      impl_->next_response = make_response();
    }
    rclcpp_dds::RequestHeader header;
    if (rclcpp_dds::take_one(impl_->reply_reader.entity(), {impl_->next_response.get(), &header}) <=
        0) {
      break;
    }
    took = true;
    // Every client of the service sees every reply: keep only ours.
    if (header.guid == impl_->client_id) {
      complete(header.sequence, std::move(impl_->next_response));
    }
  }
  return took;
}

}  // namespace rclcpp
