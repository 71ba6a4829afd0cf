#include "participant.hpp"

#include <dlfcn.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "context.hpp"
#include "dds_log_capture.hpp"

namespace rclcpp_dds {
namespace {

// Where libddsc was loaded from, found through one of its own symbols.
std::string ddsc_directory() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&dds_create_participant), &info) == 0 ||
      info.dli_fname == nullptr) {
    return "";
  }
  const std::string path = info.dli_fname;
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

void set_security_properties(dds_qos_t* qos, const SecuritySetup& security) {
  for (const auto& [property, uri] : security.files) {
    dds_qset_prop(qos, property.c_str(), uri.c_str());
  }
  struct Plugin {
    const char* prefix;
    const char* library;
    const char* init;
    const char* finalize;
  };
  static constexpr Plugin kPlugins[] = {
      {"dds.sec.auth", "dds_security_auth", "init_authentication", "finalize_authentication"},
      {"dds.sec.crypto", "dds_security_crypto", "init_crypto", "finalize_crypto"},
      {"dds.sec.access", "dds_security_ac", "init_access_control", "finalize_access_control"},
  };
  for (const auto& plugin : kPlugins) {
    const std::string prefix = plugin.prefix;
    dds_qset_prop(qos, (prefix + ".library.path").c_str(),
                  security_plugin_library(plugin.library).c_str());
    dds_qset_prop(qos, (prefix + ".library.init").c_str(), plugin.init);
    dds_qset_prop(qos, (prefix + ".library.finalize").c_str(), plugin.finalize);
  }
}

std::string joined(const std::vector<std::string>& messages) {
  std::string text;
  for (const auto& message : messages) {
    text += (text.empty() ? "" : "; ") + message;
  }
  return text;
}

}  // namespace

std::string security_plugin_library(const std::string& name) {
  const std::string dir = ddsc_directory();
  if (!dir.empty()) {
    const std::string debian = dir + "/libddsc0debian/lib" + name + ".so";
    if (access(debian.c_str(), R_OK) == 0) {
      return debian;
    }
  }
  return name;
}

dds_entity_t create_participant(uint32_t domain_id, const std::string& enclave,
                                const SecuritySetup& security) {
  std::unique_ptr<dds_qos_t, decltype(&dds_delete_qos)> qos(dds_create_qos(), &dds_delete_qos);
  // How ROS 2 participants tell their security enclave.
  const std::string user_data = "enclave=" + enclave + ";";
  dds_qset_userdata(qos.get(), user_data.data(), user_data.size());
  if (!security.secured()) {
    const dds_entity_t participant = dds_create_participant(domain_id, qos.get(), nullptr);
    if (participant < 0) {
      throw std::runtime_error("cannot create a DDS participant on domain " +
                               std::to_string(domain_id) + ": " + dds_error(participant));
    }
    return participant;
  }
  set_security_properties(qos.get(), security);
  // Cyclone says why it refuses the files only in its log.
  DdsLogCapture log;
  const dds_entity_t participant = dds_create_participant(domain_id, qos.get(), nullptr);
  if (participant < 0) {
    const auto reasons = log.messages();
    throw std::runtime_error("SECURITY ERROR: cannot create the DDS participant of enclave '" +
                             enclave + "' with the files in '" + security.enclave_dir +
                             "': " + (reasons.empty() ? dds_error(participant) : joined(reasons)));
  }
  return participant;
}

}  // namespace rclcpp_dds
