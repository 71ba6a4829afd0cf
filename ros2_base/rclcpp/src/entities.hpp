#pragma once

#include <dds/dds.h>

#include <cstddef>
#include <memory>
#include <string>

#include "context.hpp"
#include "rclcpp/qos.hpp"
#include "serialization.hpp"

namespace rclcpp_dds {

// The DDS topic that carries a ROS topic or one direction of a ROS service.
struct DdsTopic {
  std::string name;
  // Services put the client id and the sequence number ahead of each message.
  bool with_request_header = false;
};

// "rt" + name for topics; "rq" + name + "Request" and "rr" + name + "Reply" for services.
DdsTopic topic_for(const std::string& ros_name);
DdsTopic request_topic_for(const std::string& service_name);
DdsTopic reply_topic_for(const std::string& service_name);

// A DDS topic plus its writer or reader, on the ROS 2 conventions: the type's
// ROS 2 DDS name, XCDR1, QoS from rclcpp::QoS, USER_DATA if given.
class Endpoint {
 public:
  enum class Kind { writer, reader };

  Endpoint(Kind kind, const std::string& ros_name, const DdsTopic& topic,
           const MessageMembers& members, const rclcpp::QoS& qos,
           const std::string& user_data = "");
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;
  ~Endpoint();

  // The resolved ROS name of the topic or service.
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
