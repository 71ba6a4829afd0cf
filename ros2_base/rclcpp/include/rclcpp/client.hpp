#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "rclcpp/qos.hpp"
#include "rclcpp_dds/type_support.hpp"

namespace rclcpp_dds {
class GraphNode;
}

namespace rclcpp {

namespace detail {

// A future together with the sequence number of the request it waits for.
template <typename FutureT>
struct FutureAndRequestId {
  FutureT future;
  int64_t request_id;

  FutureAndRequestId(FutureT impl, int64_t req_id) : future(std::move(impl)), request_id(req_id) {}

  operator FutureT&() { return this->future; }

  auto get() { return this->future.get(); }
  bool valid() const noexcept { return this->future.valid(); }
  void wait() const { return this->future.wait(); }
  template <class Rep, class Period>
  std::future_status wait_for(const std::chrono::duration<Rep, Period>& timeout_duration) const {
    return this->future.wait_for(timeout_duration);
  }
  template <class Clock, class Duration>
  std::future_status wait_until(
      const std::chrono::time_point<Clock, Duration>& timeout_time) const {
    return this->future.wait_until(timeout_time);
  }

  FutureAndRequestId(FutureAndRequestId&& other) noexcept = default;
  FutureAndRequestId(const FutureAndRequestId& other) = delete;
  FutureAndRequestId& operator=(FutureAndRequestId&& other) noexcept = default;
  FutureAndRequestId& operator=(const FutureAndRequestId& other) = delete;
  ~FutureAndRequestId() = default;
};

// A client's futures of a response type, each with the sequence number of its request.
template <class SharedResponseT>
struct ClientFutures {
  using Future = std::future<SharedResponseT>;
  using SharedFuture = std::shared_future<SharedResponseT>;

  struct FutureAndRequestId : detail::FutureAndRequestId<Future> {
    using detail::FutureAndRequestId<Future>::FutureAndRequestId;
    SharedFuture share() noexcept { return this->future.share(); }
  };
  struct SharedFutureAndRequestId : detail::FutureAndRequestId<SharedFuture> {
    using detail::FutureAndRequestId<SharedFuture>::FutureAndRequestId;
  };
};

// The requests of a client still waiting for their reply, by sequence number.
template <class SharedResponseT>
class PendingRequests {
 public:
  using Future = std::future<SharedResponseT>;
  using SharedFuture = std::shared_future<SharedResponseT>;
  using Callback = std::function<void(SharedFuture)>;

  Future add(int64_t id) {
    std::promise<SharedResponseT> promise;
    auto future = promise.get_future();
    pending_.emplace(id, Pending{std::move(promise), nullptr, SharedFuture()});
    return future;
  }
  SharedFuture add(int64_t id, Callback callback) {
    std::promise<SharedResponseT> promise;
    SharedFuture future = promise.get_future().share();
    pending_.emplace(id, Pending{std::move(promise), std::move(callback), future});
    return future;
  }
  // A reply to no pending request is dropped.
  void complete(int64_t id, SharedResponseT response) {
    auto it = pending_.find(id);
    if (it == pending_.end()) {
      return;
    }
    Pending pending = std::move(it->second);
    pending_.erase(it);
    pending.promise.set_value(std::move(response));
    if (pending.callback) {
      pending.callback(pending.future);
    }
  }
  bool remove(int64_t id) { return pending_.erase(id) != 0; }
  size_t clear() {
    const size_t count = pending_.size();
    pending_.clear();
    return count;
  }

 private:
  struct Pending {
    std::promise<SharedResponseT> promise;
    Callback callback;
    SharedFuture future;
  };
  std::unordered_map<int64_t, Pending> pending_;
};

}  // namespace detail

class ClientBase {
 public:
  using SharedPtr = std::shared_ptr<ClientBase>;

  ClientBase(const ClientBase&) = delete;
  ClientBase& operator=(const ClientBase&) = delete;
  virtual ~ClientBase();

  // The resolved ROS service name.
  const char* get_service_name() const;

  // True when a server is matched both ways, as rmw_cyclonedds_cpp decides it.
  bool service_is_ready() const;

  // Polls service_is_ready() until it holds or the timeout passes; a negative
  // timeout waits forever. False as soon as rclcpp is shut down.
  template <typename RepT = int64_t, typename RatioT = std::milli>
  bool wait_for_service(
      std::chrono::duration<RepT, RatioT> timeout = std::chrono::duration<RepT, RatioT>(-1)) {
    return wait_for_service_nanoseconds(
        std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

  // Called by spin_some: takes the waiting replies and completes the
  // requests of this client they answer. False if none was waiting.
  bool take_and_complete();

 protected:
  ClientBase(const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& service_name,
             const rosidl_typesupport_introspection_cpp::MessageMembers& request_members,
             const rosidl_typesupport_introspection_cpp::MessageMembers& response_members,
             const QoS& qos);

  bool wait_for_service_nanoseconds(std::chrono::nanoseconds timeout);
  // Writes the request; returns its sequence number. Ignored once shut down.
  int64_t send_request_erased(const void* request);

 private:
  virtual std::shared_ptr<void> make_response() const = 0;
  virtual void complete(int64_t sequence_number, std::shared_ptr<void> response) = 0;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

template <class ServiceT>
class Client : public ClientBase {
 public:
  using SharedPtr = std::shared_ptr<Client<ServiceT>>;
  using Request = typename ServiceT::Request;
  using Response = typename ServiceT::Response;
  using SharedRequest = std::shared_ptr<Request>;
  using SharedResponse = std::shared_ptr<Response>;
  using Promise = std::promise<SharedResponse>;
  using Future = std::future<SharedResponse>;
  using SharedFuture = std::shared_future<SharedResponse>;
  using CallbackType = std::function<void(SharedFuture)>;
  using FutureAndRequestId = typename detail::ClientFutures<SharedResponse>::FutureAndRequestId;
  using SharedFutureAndRequestId =
      typename detail::ClientFutures<SharedResponse>::SharedFutureAndRequestId;

  // Use Node::create_client.
  Client(const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& service_name,
         const QoS& qos)
      : ClientBase(node, service_name, rclcpp_dds::message_members<Request>(),
                   rclcpp_dds::message_members<Response>(), qos) {}

  // The future completes inside spin_some once the reply came.
  FutureAndRequestId async_send_request(SharedRequest request) {
    const int64_t id = send_request_erased(request.get());
    return FutureAndRequestId(pending_.add(id), id);
  }

  // The callback runs inside spin_some with the completed future.
  template <typename CallbackT,
            typename = std::enable_if_t<std::is_invocable_v<CallbackT&, SharedFuture>>>
  SharedFutureAndRequestId async_send_request(SharedRequest request, CallbackT&& cb) {
    const int64_t id = send_request_erased(request.get());
    return SharedFutureAndRequestId(pending_.add(id, CallbackType(std::forward<CallbackT>(cb))),
                                    id);
  }

  // Forgets a request, e.g. after a timeout; its reply is then dropped.
  bool remove_pending_request(int64_t request_id) { return pending_.remove(request_id); }
  size_t prune_pending_requests() { return pending_.clear(); }

 private:
  std::shared_ptr<void> make_response() const override { return std::make_shared<Response>(); }
  void complete(int64_t sequence_number, std::shared_ptr<void> response) override {
    pending_.complete(sequence_number, std::static_pointer_cast<Response>(std::move(response)));
  }

  detail::PendingRequests<SharedResponse> pending_;
};

}  // namespace rclcpp
