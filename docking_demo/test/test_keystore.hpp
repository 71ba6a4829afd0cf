#pragma once

#include <string>

namespace tools_test {

// A fresh sros2 keystore under the test's temporary directory, made by
// `ros2_lite security` for DDS domain domain (governance and permissions name
// it); removed with the object. A failing command fails the test and throws.
class Keystore {
 public:
  explicit Keystore(int domain);
  Keystore(const Keystore&) = delete;
  Keystore& operator=(const Keystore&) = delete;
  ~Keystore();

  // Enclave name with the permissions the policy file grants it.
  void add_enclave(const std::string& name, const std::string& policy);
  const std::string& path() const { return path_; }

 private:
  void run(const std::string& verb, const std::string& name = "",
           const std::string& policy = "") const;
  int domain_;
  std::string path_;
};

}  // namespace tools_test
