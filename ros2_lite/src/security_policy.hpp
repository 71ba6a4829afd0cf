#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace ros2_lite {

// A policy that cannot be read or is not in the sros2 policy format 0.2.0, or
// lacks the enclave asked for.
class PolicyError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// DDS topic names ("rt/cmd_vel", "rq/x/get_parametersRequest") an enclave may
// or may not publish and subscribe.
struct TopicRule {
  std::vector<std::string> publish;
  std::vector<std::string> subscribe;

  bool empty() const { return publish.empty() && subscribe.empty(); }
};

// What one <profiles> of an enclave becomes in the DDS permissions document.
struct Grant {
  std::string name;  // the enclave path, also the certificate's common name
  TopicRule deny;
  TopicRule allow;
};

// The grants of the first enclave with this path in a policy document. source
// names the document in messages and is the base of relative XIncludes.
std::vector<Grant> policy_grants(const std::string& policy_text, const std::string& source,
                                 const std::string& enclave);

// The same from a file; PolicyError if it does not exist.
std::vector<Grant> policy_file_grants(const std::filesystem::path& policy_file,
                                      const std::string& enclave);

}  // namespace ros2_lite
