#include "rclcpp/typesupport_helpers.hpp"

#include <sys/stat.h>

#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace rclcpp {
namespace {

bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// ament_index_cpp::get_package_prefix: the first prefix of AMENT_PREFIX_PATH whose
// resource index lists the package.
std::string get_package_prefix(const std::string& package_name) {
  const char* env = std::getenv("AMENT_PREFIX_PATH");
  const std::string paths = env != nullptr ? env : "";
  std::stringstream prefixes(paths);
  for (std::string prefix; std::getline(prefixes, prefix, ':');) {
    if (!prefix.empty() &&
        exists(prefix + "/share/ament_index/resource_index/packages/" + package_name)) {
      return prefix;
    }
  }
  throw std::runtime_error("package '" + package_name + "' not found, searching: [" + paths + "]");
}

template <class HandleT>
const HandleT* get_handle(const std::string& type, const std::string& typesupport_identifier,
                          const char* kind, rcpputils::SharedLibrary& library) {
  const auto [package_name, middle_module, type_name] = extract_type_identifier(type);
  const std::string symbol_name =
      typesupport_identifier + "__get_" + kind + "_type_support_handle__" + package_name + "__" +
      (middle_module.empty() ? "msg" : middle_module) + "__" + type_name;
  if (!library.has_symbol(symbol_name)) {
    throw std::runtime_error(
        "Something went wrong loading the typesupport library for message type " + package_name +
        "/" + type_name + ". Library could not be found.");
  }
  using GetHandle = const HandleT* (*)();
  return reinterpret_cast<GetHandle>(library.get_symbol(symbol_name))();
}

}  // namespace

std::tuple<std::string, std::string, std::string> extract_type_identifier(
    const std::string& full_type) {
  const size_t back = full_type.find_last_of('/');
  const size_t front = full_type.find_first_of('/');
  if (back == std::string::npos || back == 0 || back == full_type.size() - 1) {
    throw std::runtime_error(
        "Message type is not of the form package/type and cannot be processed");
  }
  const std::string middle = back > front ? full_type.substr(front + 1, back - front - 1) : "";
  return {full_type.substr(0, front), middle, full_type.substr(back + 1)};
}

std::string get_typesupport_library_path(const std::string& package_name,
                                         const std::string& typesupport_identifier) {
  const std::string prefix = get_package_prefix(package_name);
  const std::string path =
      prefix + "/lib/lib" + package_name + "__" + typesupport_identifier + ".so";
  if (!exists(path)) {
    throw std::runtime_error("Typesupport library for " + package_name + " does not exist in '" +
                             prefix + "'.");
  }
  return path;
}

std::shared_ptr<rcpputils::SharedLibrary> get_typesupport_library(
    const std::string& type, const std::string& typesupport_identifier) {
  const std::string package_name = std::get<0>(extract_type_identifier(type));
  return std::make_shared<rcpputils::SharedLibrary>(
      get_typesupport_library_path(package_name, typesupport_identifier));
}

const rosidl_message_type_support_t* get_typesupport_handle(
    const std::string& type, const std::string& typesupport_identifier,
    rcpputils::SharedLibrary& library) {
  return get_handle<rosidl_message_type_support_t>(type, typesupport_identifier, "message",
                                                   library);
}

const rosidl_service_type_support_t* get_service_typesupport_handle(
    const std::string& type, const std::string& typesupport_identifier,
    rcpputils::SharedLibrary& library) {
  return get_handle<rosidl_service_type_support_t>(type, typesupport_identifier, "service",
                                                   library);
}

}  // namespace rclcpp
