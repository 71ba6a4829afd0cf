#ifndef RCLCPP_DDS__SECURITY_HPP_
#define RCLCPP_DDS__SECURITY_HPP_

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace rclcpp_dds {

// The ROS_SECURITY_* variables; unset reads as empty, as rcl reads them.
struct SecurityEnvironment {
  std::string enable;
  std::string strategy;
  std::string keystore;
  std::string enclave_override;

  static SecurityEnvironment from_process();
};

// What rcl and rmw_cyclonedds_cpp make of the environment for one enclave.
struct SecuritySetup {
  // Empty when the participant runs without security.
  std::string enclave_dir;
  // The enclave's files as the participant properties that name them, values "file:<path>".
  std::vector<std::pair<std::string, std::string>> files;
  // Why security is off although ROS_SECURITY_ENABLE asked for it (Permissive only).
  std::string notice;

  bool secured() const { return !enclave_dir.empty(); }
};

// Security that was asked for and cannot be had under ROS_SECURITY_STRATEGY=Enforce.
class SecurityError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Nothing unless ROS_SECURITY_ENABLE is exactly "true". Then the enclave's directory, found as
// rcl finds it (<keystore>/enclaves/<ROS_SECURITY_ENCLAVE_OVERRIDE or enclave>), and its
// six files (and crl.pem if there is one) must be there and readable: under Enforce anything
// missing throws SecurityError naming it, under any other strategy security is left off with a
// notice saying why.
SecuritySetup security_setup(const std::string& enclave, const SecurityEnvironment& env);

}  // namespace rclcpp_dds

#endif  // RCLCPP_DDS__SECURITY_HPP_
