#pragma once

#include <rosidl_runtime_c/message_type_support_struct.h>
#include <rosidl_runtime_c/service_type_support_struct.h>

#include <memory>
#include <string>
#include <tuple>

#include "rcpputils/shared_library.hpp"

namespace rclcpp {

// Type support of an interface known only by name at run time, as rclcpp finds it:
// the package's install prefix from the ament index (AMENT_PREFIX_PATH), its library
// lib<package>__<typesupport_identifier>.so there, the handle by the symbol rosidl's
// generators emit. Every failure throws std::runtime_error.

// "pkg/msg/Type" -> (pkg, msg, Type); "pkg/Type" -> (pkg, "", Type).
std::tuple<std::string, std::string, std::string> extract_type_identifier(
    const std::string& full_type);

std::string get_typesupport_library_path(const std::string& package_name,
                                         const std::string& typesupport_identifier);

// The library of the type's package; handles from it are valid while it is loaded.
std::shared_ptr<rcpputils::SharedLibrary> get_typesupport_library(
    const std::string& type, const std::string& typesupport_identifier);

const rosidl_message_type_support_t* get_typesupport_handle(
    const std::string& type, const std::string& typesupport_identifier,
    rcpputils::SharedLibrary& library);

// "pkg/srv/Type", or an action's "pkg/action/Type_SendGoal".
const rosidl_service_type_support_t* get_service_typesupport_handle(
    const std::string& type, const std::string& typesupport_identifier,
    rcpputils::SharedLibrary& library);

}  // namespace rclcpp
