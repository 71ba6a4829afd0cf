#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "rclcpp/qos.hpp"

#ifndef RMW_GID_STORAGE_SIZE
#define RMW_GID_STORAGE_SIZE 24u
#endif

namespace rclcpp {

enum class EndpointType { Invalid, Publisher, Subscription };

// One publisher or subscription of a topic as the graph knows it.
class TopicEndpointInfo {
 public:
  using Gid = std::array<uint8_t, RMW_GID_STORAGE_SIZE>;

  TopicEndpointInfo(std::string node_name, std::string node_namespace, std::string topic_type,
                    EndpointType endpoint_type, const Gid& endpoint_gid, const QoS& qos_profile)
      : node_name_(std::move(node_name)),
        node_namespace_(std::move(node_namespace)),
        topic_type_(std::move(topic_type)),
        endpoint_type_(endpoint_type),
        endpoint_gid_(endpoint_gid),
        qos_profile_(qos_profile) {}

  std::string& node_name() { return node_name_; }
  const std::string& node_name() const { return node_name_; }
  std::string& node_namespace() { return node_namespace_; }
  const std::string& node_namespace() const { return node_namespace_; }
  std::string& topic_type() { return topic_type_; }
  const std::string& topic_type() const { return topic_type_; }
  EndpointType& endpoint_type() { return endpoint_type_; }
  const EndpointType& endpoint_type() const { return endpoint_type_; }
  Gid& endpoint_gid() { return endpoint_gid_; }
  const Gid& endpoint_gid() const { return endpoint_gid_; }
  QoS& qos_profile() { return qos_profile_; }
  const QoS& qos_profile() const { return qos_profile_; }

 private:
  std::string node_name_;
  std::string node_namespace_;
  std::string topic_type_;
  EndpointType endpoint_type_;
  Gid endpoint_gid_;
  QoS qos_profile_;
};

}  // namespace rclcpp
