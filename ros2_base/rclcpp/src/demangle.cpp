#include "demangle.hpp"

namespace rclcpp_dds {
namespace {

const std::string kDdsNamespace = "dds_::";

bool ends_with(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string strip_prefix(const std::string& name, const std::string& prefix) {
  if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
      name[prefix.size()] == '/') {
    return name.substr(prefix.size());
  }
  return "";
}

std::string service_from_topic(const std::string& prefix, const std::string& dds_topic,
                               const std::string& suffix) {
  const std::string name = strip_prefix(dds_topic, prefix);
  return ends_with(name, suffix) ? name.substr(0, name.size() - suffix.size()) : "";
}

std::string slashed(std::string text) {
  for (size_t at = text.find("::"); at != std::string::npos; at = text.find("::", at)) {
    text.replace(at, 2, "/");
  }
  return text;
}

}  // namespace

std::string demangle_topic(const std::string& dds_topic) { return strip_prefix(dds_topic, "rt"); }

std::string demangle_service_request(const std::string& dds_topic) {
  return service_from_topic("rq", dds_topic, "Request");
}

std::string demangle_service_reply(const std::string& dds_topic) {
  return service_from_topic("rr", dds_topic, "Reply");
}

std::string demangle_service(const std::string& dds_topic) {
  const std::string reply = demangle_service_reply(dds_topic);
  return reply.empty() ? demangle_service_request(dds_topic) : reply;
}

std::string demangle_type(const std::string& dds_type) {
  const size_t at = dds_type.find(kDdsNamespace);
  if (!ends_with(dds_type, "_") || at == std::string::npos) {
    return dds_type;
  }
  const size_t start = at + kDdsNamespace.size();
  return slashed(dds_type.substr(0, at)) + dds_type.substr(start, dds_type.size() - 1 - start);
}

std::string demangle_service_type(const std::string& dds_type) {
  const size_t at = dds_type.find(kDdsNamespace);
  if (at == std::string::npos) {
    return "";
  }
  for (const std::string suffix : {"_Response_", "_Request_"}) {
    if (ends_with(dds_type, suffix)) {
      const size_t start = at + kDdsNamespace.size();
      return slashed(dds_type.substr(0, at)) +
             dds_type.substr(start, dds_type.size() - suffix.size() - start);
    }
  }
  return "";
}

std::string keep_name(const std::string& name) { return name; }

}  // namespace rclcpp_dds
