#ifndef RCLCPP_DDS__PARTICIPANT_HPP_
#define RCLCPP_DDS__PARTICIPANT_HPP_

#include <dds/dds.h>

#include <cstdint>
#include <string>

#include "security.hpp"

namespace rclcpp_dds {

// The participant of an init() span as rmw_cyclonedds_cpp creates it: USER_DATA
// `enclave=<enclave>;` and, when security is set up, its dds.sec.* properties. Throws
// std::runtime_error, naming the enclave and Cyclone's reasons when Cyclone refuses the
// enclave's files.
dds_entity_t create_participant(uint32_t domain_id, const std::string& enclave,
                                const SecuritySetup& security);

// What to load the security plugin `name` (e.g. "dds_security_auth") from: Debian keeps the
// plugins in libddsc0debian/ beside libddsc, where Cyclone's lookup by bare name does not go.
// Elsewhere the bare name, for Cyclone to find.
std::string security_plugin_library(const std::string& name);

}  // namespace rclcpp_dds

#endif  // RCLCPP_DDS__PARTICIPANT_HPP_
