#include "entities.hpp"

#include <stdexcept>

#include "graph_node.hpp"
#include "qos_dds.hpp"
#include "sertype.hpp"

#include "rclcpp/publisher.hpp"
#include "rclcpp/subscription.hpp"

namespace rclcpp_dds {
DdsTopic topic_for(const std::string& ros_name) { return {"rt" + ros_name, false}; }

DdsTopic request_topic_for(const std::string& service_name) {
  return {"rq" + service_name + "Request", true};
}

DdsTopic reply_topic_for(const std::string& service_name) {
  return {"rr" + service_name + "Reply", true};
}

Endpoint::Endpoint(Kind kind, const std::string& ros_name, const DdsTopic& topic,
                   const MessageMembers& members, const rclcpp::QoS& qos,
                   const std::string& user_data)
    : context_(current_context()), topic_name_(ros_name) {
  const std::string& dds_name = topic.name;
  // Endpoint QoS only: topics of one name in a participant must agree on theirs.
  topic_ = create_topic(context_->participant, dds_name, members, topic.with_request_header);
  if (topic_ < 0) {
    const dds_return_t ret = topic_;
    throw std::runtime_error("cannot create DDS topic '" + dds_name + "' of type " +
                             dds_type_name(members) + ": " + dds_error(ret));
  }
  dds_qos_t* q = to_dds_qos(qos);
  if (!user_data.empty()) {
    dds_qset_userdata(q, user_data.data(), user_data.size());
  }
  const bool writer = kind == Kind::writer;
  entity_ = writer ? dds_create_writer(context_->participant, topic_, q, nullptr)
                   : dds_create_reader(context_->participant, topic_, q, nullptr);
  dds_delete_qos(q);
  if (entity_ < 0) {
    const dds_return_t ret = entity_;
    dds_delete(topic_);
    throw std::runtime_error(std::string("cannot create DDS ") + (writer ? "writer" : "reader") +
                             " for '" + dds_name + "': " + dds_error(ret));
  }
}

Endpoint::~Endpoint() {
  // Once shut down, deleting the participant took these with it.
  if (live()) {
    dds_delete(entity_);
    dds_delete(topic_);
  }
}

}  // namespace rclcpp_dds

namespace rclcpp {

PublisherBase::PublisherBase(const std::shared_ptr<rclcpp_dds::GraphNode>& node,
                             const std::string& topic_name,
                             const rosidl_typesupport_introspection_cpp::MessageMembers& members,
                             const QoS& qos)
    : writer_(std::make_unique<rclcpp_dds::Endpoint>(rclcpp_dds::Endpoint::Kind::writer, topic_name,
                                                     rclcpp_dds::topic_for(topic_name), members,
                                                     qos)),
      registration_(node->register_entity(writer_->entity(), rclcpp_dds::EntityKind::writer)) {}

PublisherBase::~PublisherBase() = default;

const char* PublisherBase::get_topic_name() const { return writer_->topic_name().c_str(); }

size_t PublisherBase::get_subscription_count() const {
  dds_publication_matched_status_t status{};
  if (!writer_->live() || dds_get_publication_matched_status(writer_->entity(), &status) < 0) {
    return 0;
  }
  return status.current_count;
}

void PublisherBase::publish_erased(const void* message) {
  if (!writer_->live()) {
    return;
  }
  const rclcpp_dds::Sample sample{const_cast<void*>(message)};
  const dds_return_t ret = dds_write(writer_->entity(), &sample);
  if (ret < 0 && writer_->live()) {
    throw std::runtime_error("failed to publish on '" + writer_->topic_name() +
                             "': " + rclcpp_dds::dds_error(ret));
  }
}

SubscriptionBase::SubscriptionBase(
    const std::shared_ptr<rclcpp_dds::GraphNode>& node, const std::string& topic_name,
    const rosidl_typesupport_introspection_cpp::MessageMembers& members, const QoS& qos)
    : reader_(std::make_unique<rclcpp_dds::Endpoint>(rclcpp_dds::Endpoint::Kind::reader, topic_name,
                                                     rclcpp_dds::topic_for(topic_name), members,
                                                     qos)),
      registration_(node->register_entity(reader_->entity(), rclcpp_dds::EntityKind::reader)) {}

SubscriptionBase::~SubscriptionBase() = default;

const char* SubscriptionBase::get_topic_name() const { return reader_->topic_name().c_str(); }

size_t SubscriptionBase::get_publisher_count() const {
  dds_subscription_matched_status_t status{};
  if (!reader_->live() || dds_get_subscription_matched_status(reader_->entity(), &status) < 0) {
    return 0;
  }
  return status.current_count;
}

bool SubscriptionBase::take_and_dispatch() {
  if (!reader_->live()) {
    return false;
  }
  // Allocated only after a message was handed out: an idle spin costs no allocation.
  if (!next_message_) {
    next_message_ = make_message();
  }
  if (rclcpp_dds::take_one(reader_->entity(), {next_message_.get()}) <= 0) {
    return false;
  }
  dispatch(std::move(next_message_));
  return true;
}

}  // namespace rclcpp
