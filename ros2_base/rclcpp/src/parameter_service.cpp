#include "parameter_service.hpp"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "rcl_interfaces/srv/describe_parameters.hpp"
#include "rcl_interfaces/srv/get_parameter_types.hpp"
#include "rcl_interfaces/srv/get_parameters.hpp"
#include "rcl_interfaces/srv/list_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters_atomically.hpp"
#include "rclcpp/exceptions.hpp"

namespace rclcpp_dds {
namespace {

using namespace rcl_interfaces::srv;  // NOLINT: the six service types
using rclcpp::exceptions::ParameterNotDeclaredException;

template <class ServiceT>
using Handler =
    std::function<void(const typename ServiceT::Request&, typename ServiceT::Response&)>;

std::vector<rclcpp::Parameter> from_messages(
    const std::vector<rcl_interfaces::msg::Parameter>& messages) {
  std::vector<rclcpp::Parameter> parameters;
  parameters.reserve(messages.size());
  for (const auto& message : messages) {
    parameters.push_back(rclcpp::Parameter::from_parameter_msg(message));
  }
  return parameters;
}

}  // namespace

struct ParameterService::Services {
  template <class ServiceT>
  typename rclcpp::Service<ServiceT>::SharedPtr create(rclcpp::Node& node, const char* name,
                                                       Handler<ServiceT> handler) {
    return node.create_service<ServiceT>(
        std::string(node.get_name()) + "/" + name,
        [handler](const std::shared_ptr<typename ServiceT::Request> request,
                  std::shared_ptr<typename ServiceT::Response> response) {
          handler(*request, *response);
        },
        rclcpp::ParametersQoS());
  }

  explicit Services(rclcpp::Node& node)
      : get_parameters(create<GetParameters>(
            node, "get_parameters",
            [&node](const GetParameters::Request& request, GetParameters::Response& response) {
              try {
                for (const auto& parameter : node.get_parameters(request.names)) {
                  response.values.push_back(parameter.get_parameter_value().to_value_msg());
                }
              } catch (const ParameterNotDeclaredException&) {
              }
            })),
        get_parameter_types(
            create<GetParameterTypes>(node, "get_parameter_types",
                                      [&node](const GetParameterTypes::Request& request,
                                              GetParameterTypes::Response& response) {
                                        try {
                                          response.types = node.get_parameter_types(request.names);
                                        } catch (const ParameterNotDeclaredException&) {
                                        }
                                      })),
        set_parameters(create<SetParameters>(
            node, "set_parameters",
            [&node](const SetParameters::Request& request, SetParameters::Response& response) {
              // One by one: a partial result cannot be reported otherwise.
              for (const auto& message : request.parameters) {
                rcl_interfaces::msg::SetParametersResult result;
                try {
                  result = node.set_parameters_atomically(
                      {rclcpp::Parameter::from_parameter_msg(message)});
                } catch (const std::runtime_error& error) {
                  // Not declared as in rclcpp; also an empty name or an unknown type, which
                  // a remote caller must not be able to turn into an exception in spin_some.
                  result.successful = false;
                  result.reason = error.what();
                }
                response.results.push_back(result);
              }
            })),
        set_parameters_atomically(create<SetParametersAtomically>(
            node, "set_parameters_atomically",
            [&node](const SetParametersAtomically::Request& request,
                    SetParametersAtomically::Response& response) {
              response.result.successful = false;
              try {
                response.result = node.set_parameters_atomically(from_messages(request.parameters));
              } catch (const ParameterNotDeclaredException&) {
                response.result.reason = "One or more parameters were not declared before setting";
              } catch (const std::runtime_error& error) {
                response.result.reason = error.what();
              }
            })),
        describe_parameters(create<DescribeParameters>(
            node, "describe_parameters",
            [&node](const DescribeParameters::Request& request,
                    DescribeParameters::Response& response) {
              try {
                response.descriptors = node.describe_parameters(request.names);
              } catch (const ParameterNotDeclaredException&) {
              }
            })),
        list_parameters(create<ListParameters>(
            node, "list_parameters",
            [&node](const ListParameters::Request& request, ListParameters::Response& response) {
              response.result = node.list_parameters(request.prefixes, request.depth);
            })) {}

  // rclcpp's creation order.
  rclcpp::Service<GetParameters>::SharedPtr get_parameters;
  rclcpp::Service<GetParameterTypes>::SharedPtr get_parameter_types;
  rclcpp::Service<SetParameters>::SharedPtr set_parameters;
  rclcpp::Service<SetParametersAtomically>::SharedPtr set_parameters_atomically;
  rclcpp::Service<DescribeParameters>::SharedPtr describe_parameters;
  rclcpp::Service<ListParameters>::SharedPtr list_parameters;
};

ParameterService::ParameterService(rclcpp::Node& node)
    : services_(std::make_unique<Services>(node)) {}

ParameterService::~ParameterService() = default;

}  // namespace rclcpp_dds
