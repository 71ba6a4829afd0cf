#include "rclcpp_dds/dynamic_type.hpp"

#include <rosidl_typesupport_introspection_cpp/field_types.hpp>
#include <rosidl_typesupport_introspection_cpp/service_introspection.hpp>

#include <new>
#include <stdexcept>

#include "rclcpp/typesupport_helpers.hpp"
#include "serialization.hpp"

namespace rclcpp_dds {
namespace {

namespace ts = rosidl_typesupport_introspection_cpp;

const std::string kIntrospection = "rosidl_typesupport_introspection_cpp";

// A message's storage: aligned for any of its fields, as operator new aligns.
struct MessageDeleter {
  void (*fini)(void*);
  std::shared_ptr<void> owner;
  void operator()(void* message) const {
    fini(message);
    ::operator delete(message);
  }
};

}  // namespace

std::shared_ptr<const DynamicType> DynamicType::load(const std::string& type) {
  std::shared_ptr<rcpputils::SharedLibrary> library =
      rclcpp::get_typesupport_library(type, kIntrospection);
  const auto* handle = rclcpp::get_typesupport_handle(type, kIntrospection, *library);
  return std::make_shared<DynamicType>(*static_cast<const MessageMembers*>(handle->data), library);
}

std::pair<std::shared_ptr<const DynamicType>, std::shared_ptr<const DynamicType>>
DynamicType::load_service(const std::string& type) {
  std::shared_ptr<rcpputils::SharedLibrary> library =
      rclcpp::get_typesupport_library(type, kIntrospection);
  const auto* handle = rclcpp::get_service_typesupport_handle(type, kIntrospection, *library);
  const auto* service = static_cast<const ts::ServiceMembers*>(handle->data);
  return {std::make_shared<DynamicType>(*service->request_members_, library),
          std::make_shared<DynamicType>(*service->response_members_, library)};
}

DynamicType::DynamicType(const MessageMembers& members, std::shared_ptr<void> owner)
    : members_(members), owner_(std::move(owner)) {}

std::string DynamicType::name() const {
  std::string name = members_.message_namespace_;
  for (size_t at = name.find("::"); at != std::string::npos; at = name.find("::", at)) {
    name.replace(at, 2, "/");
  }
  return name + "/" + members_.message_name_;
}

std::shared_ptr<void> DynamicType::create() const {
  void* message = ::operator new(members_.size_of_);
  try {
    members_.init_function(message, rosidl_runtime_cpp::MessageInitialization::ALL);
  } catch (...) {
    ::operator delete(message);
    throw;
  }
  return std::shared_ptr<void>(message, MessageDeleter{members_.fini_function, owner_});
}

const MessageMember& DynamicType::member(const std::string& field_name) const {
  for (uint32_t i = 0; i < members_.member_count_; ++i) {
    if (field_name == members_.members_[i].name_) {
      return members_.members_[i];
    }
  }
  throw std::out_of_range(name() + " has no field '" + field_name + "'");
}

void* DynamicType::field(void* message, const std::string& field_name) const {
  return static_cast<unsigned char*>(message) + member(field_name).offset_;
}

const void* DynamicType::field(const void* message, const std::string& field_name) const {
  return static_cast<const unsigned char*>(message) + member(field_name).offset_;
}

std::shared_ptr<const DynamicType> DynamicType::field_type(const std::string& field_name) const {
  const MessageMember& m = member(field_name);
  if (m.type_id_ != ts::ROS_TYPE_MESSAGE) {
    throw std::invalid_argument("field '" + field_name + "' of " + name() + " is no message");
  }
  return std::make_shared<DynamicType>(*static_cast<const MessageMembers*>(m.members_->data),
                                       owner_);
}

std::vector<unsigned char> DynamicType::serialize(const void* message) const {
  std::vector<unsigned char> data;
  rclcpp_dds::serialize(members_, message, data);
  return data;
}

bool DynamicType::deserialize(const std::vector<unsigned char>& data, void* message) const {
  return rclcpp_dds::deserialize(members_, data.data(), data.size(), message);
}

void DynamicType::copy(const void* from, void* to) const {
  if (!deserialize(serialize(from), to)) {
    throw std::logic_error("a message of " + name() + " did not read back");
  }
}

}  // namespace rclcpp_dds
