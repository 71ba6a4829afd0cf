#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "rclcpp/qos.hpp"
#include "rclcpp_dds/dynamic_type.hpp"
#include "rclcpp_dds/type_support.hpp"

namespace rclcpp_dds {
class Endpoint;
class GraphNode;
class GraphRegistration;
}  // namespace rclcpp_dds

namespace rclcpp {

// Accepted for source compatibility.
struct PublisherOptions {};

class PublisherBase {
 public:
  using SharedPtr = std::shared_ptr<PublisherBase>;

  PublisherBase(const PublisherBase&) = delete;
  PublisherBase& operator=(const PublisherBase&) = delete;
  virtual ~PublisherBase();

  // The resolved ROS topic name, e.g. "/cmd_vel".
  const char* get_topic_name() const;
  // Subscriptions currently matched, local or remote.
  size_t get_subscription_count() const;

 protected:
  PublisherBase(const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& topic_name,
                const rosidl_typesupport_introspection_cpp::MessageMembers& members,
                const QoS& qos);
  void publish_erased(const void* message);

 private:
  std::unique_ptr<rclcpp_dds::Endpoint> writer_;
  // Listed under its node in the graph while it exists.
  std::unique_ptr<rclcpp_dds::GraphRegistration> registration_;
};

template <class MessageT>
class Publisher : public PublisherBase {
 public:
  using SharedPtr = std::shared_ptr<Publisher<MessageT>>;

  // Use Node::create_publisher.
  Publisher(const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& topic_name,
            const QoS& qos)
      : PublisherBase(node, topic_name, rclcpp_dds::message_members<MessageT>(), qos) {}

  // Ignored once rclcpp is shut down, as in rclcpp; other failures throw.
  void publish(const MessageT& message) { publish_erased(&message); }
  void publish(std::unique_ptr<MessageT> message) { publish_erased(message.get()); }
};

// A publisher of a type known at run time (rclcpp's GenericPublisher, by type
// name): it publishes messages made by its type, without the generated C++ type.
class DynamicPublisher : public PublisherBase {
 public:
  using SharedPtr = std::shared_ptr<DynamicPublisher>;

  // Use Node::create_dynamic_publisher or Node::create_generic_publisher.
  DynamicPublisher(const std::shared_ptr<rclcpp_dds::GraphNode>& node,
                   const std::string& topic_name,
                   std::shared_ptr<const rclcpp_dds::DynamicType> type, const QoS& qos)
      : PublisherBase(node, topic_name, type->members(), qos), type_(std::move(type)) {}

  const rclcpp_dds::DynamicType& type() const { return *type_; }
  // A message made by type(); ignored once rclcpp is shut down, other failures throw.
  void publish(const void* message) { publish_erased(message); }

 private:
  std::shared_ptr<const rclcpp_dds::DynamicType> type_;
};

}  // namespace rclcpp
