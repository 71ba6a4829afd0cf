#pragma once

#include <future>
#include <memory>
#include <string>
#include <utility>

#include "rclcpp/client.hpp"
#include "rclcpp_dds/dynamic_type.hpp"

namespace rclcpp {

// A client of a service whose type is known by name at run time, as rclcpp's
// GenericClient of later releases: requests and responses are messages of the
// service's types (create_request, create_response), passed as void*.
class GenericClient : public ClientBase {
 public:
  using SharedPtr = std::shared_ptr<GenericClient>;
  using Request = void*;
  using Response = void*;
  using SharedResponse = std::shared_ptr<void>;
  using Future = std::future<SharedResponse>;
  using SharedFuture = std::shared_future<SharedResponse>;
  using CallbackType = std::function<void(SharedFuture)>;

  using FutureAndRequestId = detail::ClientFutures<SharedResponse>::FutureAndRequestId;
  using SharedFutureAndRequestId = detail::ClientFutures<SharedResponse>::SharedFutureAndRequestId;

  // Use Node::create_generic_client.
  GenericClient(const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& service_name,
                std::shared_ptr<const rclcpp_dds::DynamicType> request_type,
                std::shared_ptr<const rclcpp_dds::DynamicType> response_type, const QoS& qos)
      : ClientBase(node, service_name, request_type->members(), response_type->members(), qos),
        request_type_(std::move(request_type)),
        response_type_(std::move(response_type)) {}

  const rclcpp_dds::DynamicType& request_type() const { return *request_type_; }
  const rclcpp_dds::DynamicType& response_type() const { return *response_type_; }
  std::shared_ptr<void> create_request() const { return request_type_->create(); }
  SharedResponse create_response() const { return response_type_->create(); }

  // `request` points to a message of the request type; the future completes
  // inside spin_some once the reply came.
  FutureAndRequestId async_send_request(const Request request) {
    const int64_t id = send_request_erased(request);
    return FutureAndRequestId(pending_.add(id), id);
  }
  SharedFutureAndRequestId async_send_request(const Request request, CallbackType callback) {
    const int64_t id = send_request_erased(request);
    return SharedFutureAndRequestId(pending_.add(id, std::move(callback)), id);
  }

  bool remove_pending_request(int64_t request_id) { return pending_.remove(request_id); }
  size_t prune_pending_requests() { return pending_.clear(); }

 private:
  std::shared_ptr<void> make_response() const override { return create_response(); }
  void complete(int64_t sequence_number, std::shared_ptr<void> response) override {
    pending_.complete(sequence_number, std::move(response));
  }

  std::shared_ptr<const rclcpp_dds::DynamicType> request_type_;
  std::shared_ptr<const rclcpp_dds::DynamicType> response_type_;
  detail::PendingRequests<SharedResponse> pending_;
};

}  // namespace rclcpp
