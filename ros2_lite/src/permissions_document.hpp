#pragma once

#include <string>
#include <vector>

#include "openssl.hpp"
#include "security_policy.hpp"

namespace ros2_lite {

// The DDS permissions document of the grants, valid as long as the enclave's
// certificate, on one domain; every enclave may also use ros_discovery_info.
std::string permissions_document(const std::vector<Grant>& grants, const Validity& validity,
                                 const std::string& domain_id);

}  // namespace ros2_lite
