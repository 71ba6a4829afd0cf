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
  ServiceBase(const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& service_name,
              const rosidl_typesupport_introspection_cpp::MessageMembers& request_members,
              const rosidl_typesupport_introspection_cpp::MessageMembers& response_members,
              const QoS& qos);

 private:
  virtual std::shared_ptr<void> make_request() const = 0;
  // Runs the callback; returns the response to send.
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

  // Use Node::create_service.
  Service(const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& service_name,
          const QoS& qos, CallbackWithHeader callback)
      : ServiceBase(node, service_name, rclcpp_dds::message_members<Request>(),
                    rclcpp_dds::message_members<Response>(), qos),
        callback_(std::move(callback)) {}

 private:
  std::shared_ptr<void> make_request() const override { return std::make_shared<Request>(); }
  std::shared_ptr<void> handle(std::shared_ptr<rmw_request_id_t> request_header,
                               std::shared_ptr<void> request) override {
    auto response = std::make_shared<Response>();
    callback_(std::move(request_header), std::static_pointer_cast<Request>(std::move(request)),
              response);
    return response;
  }

  CallbackWithHeader callback_;
};

namespace detail {

template <class>
inline constexpr bool unsupported_service_callback = false;

// rclcpp's two service callback forms, with or without the request header.
template <class ServiceT, class CallbackT>
typename Service<ServiceT>::CallbackWithHeader adapt_service_callback(CallbackT&& callback) {
  using Stored = std::decay_t<CallbackT>;
  using Request = typename ServiceT::Request;
  using Response = typename ServiceT::Response;
  if constexpr (std::is_invocable_v<Stored&, const std::shared_ptr<rmw_request_id_t>,
                                    const std::shared_ptr<Request>, std::shared_ptr<Response>>) {
    return Stored(std::forward<CallbackT>(callback));
  } else if constexpr (std::is_invocable_v<Stored&, const std::shared_ptr<Request>,
                                           std::shared_ptr<Response>>) {
    return [cb = Stored(std::forward<CallbackT>(callback))](
               const std::shared_ptr<rmw_request_id_t>, const std::shared_ptr<Request> request,
               std::shared_ptr<Response> response) mutable { cb(request, std::move(response)); };
  } else {
    static_assert(unsupported_service_callback<CallbackT>,
                  "a service callback takes (std::shared_ptr<Request>, std::shared_ptr<Response>), "
                  "optionally after std::shared_ptr<rmw_request_id_t>");
  }
}

}  // namespace detail
}  // namespace rclcpp
