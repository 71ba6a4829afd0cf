#pragma once

#include <dds/dds.h>

#include <cstddef>
#include <memory>
#include <string>

#include "context.hpp"
#include "rclcpp/qos.hpp"
#include "serialization.hpp"

namespace rclcpp_dds {

// A DDS topic plus its writer or reader, on the ROS 2 conventions: topic
// "rt" + ROS name, the type's ROS 2 DDS name, XCDR1, QoS from rclcpp::QoS.
class Endpoint {
 public:
  enum class Kind { writer, reader };

  Endpoint(Kind kind, const std::string& topic_name, const MessageMembers& members,
           const rclcpp::QoS& qos);
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;
  ~Endpoint();

  const std::string& topic_name() const { return topic_name_; }
  dds_entity_t entity() const { return entity_; }
  // False once the init() span it was created in has ended.
  bool live() const { return is_live(*context_); }

 private:
  std::shared_ptr<const Context> context_;
  std::string topic_name_;
  dds_entity_t topic_ = 0;
  dds_entity_t entity_ = 0;
};

}  // namespace rclcpp_dds
