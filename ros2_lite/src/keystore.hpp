#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>

namespace ros2_lite {

// What `ros2 security` reports after "Unable to create <what>: ".
class KeystoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An sros2 keystore: public/ and private/ hold one CA (ca.*.pem) that is both the
// identity CA and the permissions CA (symlinks identity_ca.* and permissions_ca.*);
// enclaves/ holds the governance document and one directory per enclave.

// The CA and the signed governance document for domain_id. What already exists
// is kept; a complete keystore is an error.
void create_keystore(const std::filesystem::path& root, const std::string& domain_id);

// An enclave's directory with links to the CA certificates and the governance,
// its own key and certificate (CN=name) unless it has them, and permissions
// allowing everything. A bad name is explained on out first, as ros2 does.
void create_enclave(const std::filesystem::path& root, const std::string& name,
                    const std::string& domain_id, std::ostream& out);

// The enclave's permissions replaced by what the policy file grants it.
void create_permission(const std::filesystem::path& root, const std::string& name,
                       const std::filesystem::path& policy_file, const std::string& domain_id);

// Why name is no valid enclave name (the rules of a ROS namespace), in rclpy's words.
std::optional<std::string> enclave_name_problem(const std::string& name);

}  // namespace ros2_lite
