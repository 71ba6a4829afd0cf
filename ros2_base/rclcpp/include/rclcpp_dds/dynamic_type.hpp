#pragma once

#include <rosidl_typesupport_introspection_cpp/message_introspection.hpp>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace rclcpp_dds {

using MessageMembers = rosidl_typesupport_introspection_cpp::MessageMembers;
using MessageMember = rosidl_typesupport_introspection_cpp::MessageMember;

// A message type known at run time, by its introspection data: messages of it
// are made, copied and serialized without the generated C++ type. A type loaded
// by name keeps its package's library loaded, and so does every message made of it.
class DynamicType {
 public:
  // "pkg/msg/Type", or one of an action's or service's messages
  // ("pkg/action/Type_Goal", "pkg/srv/Type_Request"). Throws std::runtime_error.
  static std::shared_ptr<const DynamicType> load(const std::string& type);
  // The request and response types of "pkg/srv/Type" or "pkg/action/Type_SendGoal".
  static std::pair<std::shared_ptr<const DynamicType>, std::shared_ptr<const DynamicType>>
  load_service(const std::string& type);

  // `owner` keeps whatever the members live in (a library) alive.
  explicit DynamicType(const MessageMembers& members, std::shared_ptr<void> owner = nullptr);

  const MessageMembers& members() const { return members_; }
  // "pkg/msg/Type".
  std::string name() const;

  // A message with its default values.
  std::shared_ptr<void> create() const;
  // The field of that name; throws std::out_of_range.
  const MessageMember& member(const std::string& field_name) const;
  void* field(void* message, const std::string& field_name) const;
  const void* field(const void* message, const std::string& field_name) const;
  // The type of a field of a message type, sharing this one's owner.
  std::shared_ptr<const DynamicType> field_type(const std::string& field_name) const;

  // Plain CDR as the layer sends it, header included.
  std::vector<unsigned char> serialize(const void* message) const;
  // False when the bytes are no message of this type.
  bool deserialize(const std::vector<unsigned char>& data, void* message) const;
  void copy(const void* from, void* to) const;

 private:
  const MessageMembers& members_;
  std::shared_ptr<void> owner_;
};

}  // namespace rclcpp_dds
