#ifndef RCLCPP_DDS__PARAMETER_SERVICE_HPP_
#define RCLCPP_DDS__PARAMETER_SERVICE_HPP_

#include <memory>

#include "rclcpp/node.hpp"

namespace rclcpp_dds {

// rclcpp's six parameter services under /<namespace>/<node>/, answered from the node's
// parameters with rclcpp's results: a query naming an undeclared parameter gets an empty
// answer, a set of one gets the exception's text as its reason.
class ParameterService {
 public:
  explicit ParameterService(rclcpp::Node& node);
  ParameterService(const ParameterService&) = delete;
  ParameterService& operator=(const ParameterService&) = delete;
  ~ParameterService();

 private:
  struct Services;
  std::unique_ptr<Services> services_;
};

}  // namespace rclcpp_dds

#endif  // RCLCPP_DDS__PARAMETER_SERVICE_HPP_
