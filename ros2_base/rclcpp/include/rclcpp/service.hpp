#pragma once

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "rclcpp/qos.hpp"
#include "rclcpp/request_id.hpp"
#include "rclcpp_dds/type_support.hpp"

namespace rclcpp_dds {
class GraphNode;
}

namespace rclcpp {

class ServiceBase {
 public:
  using SharedPtr = std::shared_ptr<ServiceBase>;

  ServiceBase(const ServiceBase&) = delete;
  ServiceBase& operator=(const ServiceBase&) = delete;
  virtual ~ServiceBase();

  // The resolved ROS service name, e.g. "/align_controller/get_parameters".
  const char* get_service_name() const;

  // Called by spin_some: sends the held replies whose client can now receive
  // them, then answers at most one waiting request. False if none was waiting.
  bool take_and_handle();

 protected:
  // Sends a reply to the request request_id names, now or, if the client's
  // reply reader has not matched yet, from a later spin_some; dropped if the
  // client is gone. Safe from any thread.
  void send_response_erased(const rmw_request_id_t& request_id, std::shared_ptr<void> response);

 protected:
  ServiceBase(const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& service_name,
              const rosidl_typesupport_introspection_cpp::MessageMembers& request_members,
              const rosidl_typesupport_introspection_cpp::MessageMembers& response_members,
              const QoS& qos);

 private:
  virtual std::shared_ptr<void> make_request() const = 0;
  // Runs the callback; returns the response to send, or nullptr when the
  // callback defers it to send_response.
  virtual std::shared_ptr<void> handle(std::shared_ptr<rmw_request_id_t> request_header,
                                       std::shared_ptr<void> request) = 0;

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

template <class ServiceT>
class Service : public ServiceBase {
 public:
  using SharedPtr = std::shared_ptr<Service<ServiceT>>;
  using Request = typename ServiceT::Request;
  using Response = typename ServiceT::Response;
  using CallbackWithHeader =
      std::function<void(const std::shared_ptr<rmw_request_id_t>, const std::shared_ptr<Request>,
                         std::shared_ptr<Response>)>;
  // rclcpp's deferred form: the callback answers later through send_response.
  using DeferResponseCallback =
      std::function<void(std::shared_ptr<rmw_request_id_t>, std::shared_ptr<Request>)>;

  // Use Node::create_service.
  Service(const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& service_name,
          const QoS& qos, CallbackWithHeader callback)
      : ServiceBase(node, service_name, rclcpp_dds::message_members<Request>(),
                    rclcpp_dds::message_members<Response>(), qos),
        callback_(std::move(callback)) {}
  Service(const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& service_name,
          const QoS& qos, DeferResponseCallback callback)
      : ServiceBase(node, service_name, rclcpp_dds::message_members<Request>(),
                    rclcpp_dds::message_members<Response>(), qos),
        defer_callback_(std::move(callback)) {}

  // The reply to a request whose callback deferred it; the response is copied.
  void send_response(rmw_request_id_t& req_id, Response& response) {
    send_response_erased(req_id, std::make_shared<Response>(response));
  }

 private:
  std::shared_ptr<void> make_request() const override { return std::make_shared<Request>(); }
  std::shared_ptr<void> handle(std::shared_ptr<rmw_request_id_t> request_header,
                               std::shared_ptr<void> request) override {
    if (defer_callback_) {
      defer_callback_(std::move(request_header),
                      std::static_pointer_cast<Request>(std::move(request)));
      return nullptr;
    }
    auto response = std::make_shared<Response>();
    callback_(std::move(request_header), std::static_pointer_cast<Request>(std::move(request)),
              response);
    return response;
  }

  CallbackWithHeader callback_;
  DeferResponseCallback defer_callback_;
};

namespace detail {

template <class>
inline constexpr bool unsupported_service_callback = false;

// rclcpp's service callback forms: (request, response), optionally after the
// request header, or (header, request) answering later through send_response.
template <class ServiceT, class CallbackT>
std::shared_ptr<Service<ServiceT>> make_service(const std::shared_ptr<rclcpp_dds::GraphNode>& node,
                                                const std::string& service_name, const QoS& qos,
                                                CallbackT&& callback) {
  using Stored = std::decay_t<CallbackT>;
  using Request = typename ServiceT::Request;
  using Response = typename ServiceT::Response;
  using Header = std::shared_ptr<rmw_request_id_t>;
  using Callback = typename Service<ServiceT>::CallbackWithHeader;
  using Deferred = typename Service<ServiceT>::DeferResponseCallback;
  if constexpr (std::is_invocable_v<Stored&, const Header, const std::shared_ptr<Request>,
                                    std::shared_ptr<Response>>) {
    return std::make_shared<Service<ServiceT>>(node, service_name, qos,
                                               Callback(std::forward<CallbackT>(callback)));
  } else if constexpr (std::is_invocable_v<Stored&, const std::shared_ptr<Request>,
                                           std::shared_ptr<Response>>) {
    return std::make_shared<Service<ServiceT>>(
        node, service_name, qos,
        Callback(
            [cb = Stored(std::forward<CallbackT>(callback))](
                const Header, const std::shared_ptr<Request> request,
                std::shared_ptr<Response> response) mutable { cb(request, std::move(response)); }));
  } else if constexpr (std::is_invocable_v<Stored&, Header, std::shared_ptr<Request>>) {
    return std::make_shared<Service<ServiceT>>(node, service_name, qos,
                                               Deferred(std::forward<CallbackT>(callback)));
  } else {
    static_assert(unsupported_service_callback<CallbackT>,
                  "a service callback takes (std::shared_ptr<Request>, std::shared_ptr<Response>), "
                  "optionally after std::shared_ptr<rmw_request_id_t>, or "
                  "(std::shared_ptr<rmw_request_id_t>, std::shared_ptr<Request>) to answer later");
  }
}

}  // namespace detail
}  // namespace rclcpp
