#include "security.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace rclcpp_dds {
namespace {

std::string env_or_empty(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

// The files rmw_cyclonedds_cpp hands to the security plugins, by the property naming each.
struct EnclaveFile {
  const char* property;
  const char* file;
};
constexpr EnclaveFile kRequiredFiles[] = {
    {"dds.sec.auth.identity_ca", "identity_ca.cert.pem"},
    {"dds.sec.auth.identity_certificate", "cert.pem"},
    {"dds.sec.auth.private_key", "key.pem"},
    {"dds.sec.access.permissions_ca", "permissions_ca.cert.pem"},
    {"dds.sec.access.governance", "governance.p7s"},
    {"dds.sec.access.permissions", "permissions.p7s"},
};
constexpr EnclaveFile kRevocationList{"org.eclipse.cyclonedds.sec.auth.crl", "crl.pem"};

// Why the file cannot be handed to the plugins, if it cannot. Opening it is the only check
// that also holds for root.
std::optional<std::string> unreadable(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) {
    return std::strerror(errno);
  }
  if (!S_ISREG(status.st_mode)) {
    return std::string("not a regular file");
  }
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return std::strerror(errno);
  }
  close(fd);
  return std::nullopt;
}

bool is_directory(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The enclave's files as properties, or what is wrong.
std::string collect_files(const std::string& which, const std::string& dir, SecuritySetup& setup) {
  for (const auto& required : kRequiredFiles) {
    const std::string path = dir + "/" + required.file;
    if (auto problem = unreadable(path)) {
      setup.files.clear();
      return which + " has no readable " + required.file + " in '" + dir + "' (" + *problem + ")";
    }
    setup.files.emplace_back(required.property, "file:" + path);
  }
  const std::string crl = dir + "/" + kRevocationList.file;
  if (!unreadable(crl)) {
    setup.files.emplace_back(kRevocationList.property, "file:" + crl);
  }
  return "";
}

// <keystore>/enclaves/<name>, as rcl finds it; empty without a keystore.
std::string enclave_directory(const std::string& enclave, const SecurityEnvironment& env) {
  if (env.keystore.empty()) {
    return "";
  }
  const std::string& name = env.enclave_override.empty() ? enclave : env.enclave_override;
  const std::string enclaves = env.keystore + "/enclaves";
  // Like rcl, the first character is taken for the leading '/'.
  return name == "/" ? enclaves : enclaves + "/" + name.substr(1);
}

}  // namespace

SecurityEnvironment SecurityEnvironment::from_process() {
  return {env_or_empty("ROS_SECURITY_ENABLE"), env_or_empty("ROS_SECURITY_STRATEGY"),
          env_or_empty("ROS_SECURITY_KEYSTORE"), env_or_empty("ROS_SECURITY_ENCLAVE_OVERRIDE")};
}

SecuritySetup security_setup(const std::string& enclave, const SecurityEnvironment& env) {
  SecuritySetup setup;
  if (env.enable != "true") {
    return setup;
  }
  const std::string which = env.enclave_override.empty() ? "enclave '" + enclave + "'"
                                                         : "enclave '" + env.enclave_override +
                                                               "' (ROS_SECURITY_ENCLAVE_OVERRIDE)";
  const std::string dir = enclave_directory(enclave, env);
  std::string problem;
  if (dir.empty()) {
    problem = "ROS_SECURITY_KEYSTORE is not set";
  } else if (!is_directory(dir)) {
    problem = "directory '" + dir + "' of " + which + " does not exist";
  } else {
    problem = collect_files(which, dir, setup);
  }
  if (problem.empty()) {
    setup.enclave_dir = dir;
    return setup;
  }
  if (env.strategy == "Enforce") {
    throw SecurityError("SECURITY ERROR: " + problem);
  }
  setup.notice = "SECURITY WARNING: " + problem +
                 "; ROS_SECURITY_STRATEGY is not Enforce, running without security";
  return setup;
}

}  // namespace rclcpp_dds
