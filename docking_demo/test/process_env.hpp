#pragma once

#include <string>
#include <vector>

#include "test_support/child_process.hpp"

namespace tools_test {

// Each test talks on its own DDS domain, on loopback only.
inline test_support::ChildProcess::Options dds_env(int domain) {
  test_support::ChildProcess::Options o;
  o.set_env = {"ROS_DOMAIN_ID=" + std::to_string(domain),
               std::string("CYCLONEDDS_URI=file://") + LOOPBACK_PROFILE, "SPDLOG_STDOUT=true",
               "SPDLOG_SYSTEMD=false", "SPDLOG_LEVEL=info"};
  return o;
}

// DDS Security enforced from keystore; each program names its enclave with --enclave.
inline std::vector<std::string> enforce_env(const std::string& keystore) {
  return {"ROS_SECURITY_ENABLE=true", "ROS_SECURITY_STRATEGY=Enforce",
          "ROS_SECURITY_KEYSTORE=" + keystore};
}

}  // namespace tools_test
