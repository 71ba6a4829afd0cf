#include "test_keystore.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "test_support/child_process.hpp"

namespace tools_test {

Keystore::Keystore(int domain)
    : domain_(domain),
      path_(::testing::TempDir() + "keystore_" + std::to_string(domain) + "_" +
            std::to_string(::getpid())) {
  std::filesystem::remove_all(path_);
  run("create_keystore");
}

Keystore::~Keystore() { std::filesystem::remove_all(path_); }

void Keystore::add_enclave(const std::string& name, const std::string& policy) {
  run("create_enclave", name);
  run("create_permission", name, policy);
}

void Keystore::run(const std::string& verb, const std::string& name,
                   const std::string& policy) const {
  std::vector<std::string> argv{ROS2_LITE, "security", verb, path_};
  for (const auto& arg : {name, policy}) {
    if (!arg.empty()) argv.push_back(arg);
  }
  test_support::ChildProcess::Options options;
  options.set_env = {"ROS_DOMAIN_ID=" + std::to_string(domain_)};
  test_support::ChildProcess command(argv, options);
  if (command.wait_exit(std::chrono::seconds(30)) != 0) {
    ADD_FAILURE() << "ros2_lite security " << verb << " " << name << ": " << command.stdout_text()
                  << command.stderr_text();
    throw std::runtime_error("ros2_lite security " + verb + " failed");
  }
}

}  // namespace tools_test
