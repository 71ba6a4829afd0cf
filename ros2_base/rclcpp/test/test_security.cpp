// Security the ROS 2 way: the enclave name, the ROS_SECURITY_* decisions and the enclave's files
// (temporary directories, no DDS), then participants secured with a keystore made by
// make_test_keystore.sh, on domains 180-189.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "geometry_msgs/msg/twist.hpp"
#include "listeners.hpp"
#include "names.hpp"
#include "participant.hpp"
#include "rclcpp/rclcpp.hpp"
#include "security.hpp"
#include "test_support/child_process.hpp"
#include "thrown.hpp"

namespace {

namespace fs = std::filesystem;
using rclcpp_dds::security_setup;
using rclcpp_dds::SecurityEnvironment;
using std::chrono::milliseconds;
using test_support::ChildProcess;
using test_support::wait_until;

constexpr milliseconds kStartup{10000};

const char* const kEnclaveFiles[] = {
    "identity_ca.cert.pem",    "cert.pem",       "key.pem",
    "permissions_ca.cert.pem", "governance.p7s", "permissions.p7s"};

// A fresh directory under the test's temporary directory.
fs::path fresh_dir(const std::string& name) {
  const fs::path dir = fs::path(testing::TempDir()) / (name + "_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// A keystore whose enclave has every file, each just a line of text.
fs::path keystore_with_enclave(const std::string& enclave_path) {
  const fs::path keystore = fresh_dir("keystore");
  const fs::path enclave = keystore / "enclaves" / enclave_path;
  fs::create_directories(enclave);
  for (const char* file : kEnclaveFiles) {
    std::ofstream(enclave / file) << file << "\n";
  }
  return keystore;
}

SecurityEnvironment enforce(const fs::path& keystore) {
  return {"true", "Enforce", keystore.string(), ""};
}

TEST(EnclaveName, CheckedAsRclChecksIt) {
  for (const std::string& good : std::vector<std::string>{"/", "/a", "/robot1/align_controller",
                                                          "/" + std::string(254, 'a')}) {
    EXPECT_FALSE(rclcpp_dds::check_enclave_name(good)) << good;
  }
  const struct {
    std::string name;
    std::string message;
    size_t index;
  } bad[] = {
      {"", "context name must not be empty", 0},
      {"robot", "context name must be absolute, it must lead with a '/'", 0},
      {"/robot/", "context name must not end with a '/', unless only a '/'", 6},
      {"/robot-1", "context name must not contain characters other than alphanumerics, '_', or '/'",
       6},
      {"/robot//arm", "context name must not contain repeated '/'", 7},
      {"/robot/1arm", "context name must not have a token that starts with a number", 7},
      {"/" + std::string(255, 'a'), "context name should not exceed '255'", 254},
  };
  for (const auto& [name, message, index] : bad) {
    const auto problem = rclcpp_dds::check_enclave_name(name);
    ASSERT_TRUE(problem) << name;
    EXPECT_EQ(problem->message, message) << name;
    EXPECT_EQ(problem->index, index) << name;
  }
}

TEST(EnclaveName, AnInvalidOneEndsInitNamingIt) {
  const char* argv[] = {"test_security", "--ros-args", "--enclave", "/robot/1arm"};
  EXPECT_EQ(what<std::runtime_error>([&] { rclcpp::init(4, argv); }),
            "Enclave name '/robot/1arm' is not valid: 'context name must not have a token that "
            "starts with a number'. Invalid index: 7");
}

TEST(SecurityEnvironment, OnlyExactlyTrueTurnsSecurityOn) {
  const fs::path nowhere = fresh_dir("no_keystore") / "missing";
  for (const char* enable : {"", "TRUE", "True", "1", "yes", "true "}) {
    SecurityEnvironment env = enforce(nowhere);
    env.enable = enable;
    const auto setup = security_setup("/", env);
    EXPECT_FALSE(setup.secured()) << enable;
    EXPECT_EQ(setup.notice, "") << enable;
  }
  EXPECT_THROW(security_setup("/", enforce(nowhere)), rclcpp_dds::SecurityError);
}

TEST(SecurityEnvironment, CompleteEnclaveGivesRmwsFilePropertiesAndTheOptionalCrl) {
  const fs::path keystore = keystore_with_enclave("robot1/align");
  const std::string dir = (keystore / "enclaves/robot1/align").string();
  auto setup = security_setup("/robot1/align", enforce(keystore));
  EXPECT_EQ(setup.enclave_dir, dir);
  EXPECT_EQ(setup.notice, "");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"dds.sec.auth.identity_ca", "file:" + dir + "/identity_ca.cert.pem"},
      {"dds.sec.auth.identity_certificate", "file:" + dir + "/cert.pem"},
      {"dds.sec.auth.private_key", "file:" + dir + "/key.pem"},
      {"dds.sec.access.permissions_ca", "file:" + dir + "/permissions_ca.cert.pem"},
      {"dds.sec.access.governance", "file:" + dir + "/governance.p7s"},
      {"dds.sec.access.permissions", "file:" + dir + "/permissions.p7s"},
  };
  EXPECT_EQ(setup.files, expected);

  std::ofstream(dir + "/crl.pem") << "crl\n";
  setup = security_setup("/robot1/align", enforce(keystore));
  ASSERT_EQ(setup.files.size(), 7u);
  EXPECT_EQ(setup.files.back(), std::make_pair(std::string("org.eclipse.cyclonedds.sec.auth.crl"),
                                               "file:" + dir + "/crl.pem"));

  // The override picks the enclave's files; the files themselves are followed through links.
  SecurityEnvironment env = enforce(keystore);
  env.enclave_override = "/robot1/align";
  fs::remove(dir + "/key.pem");
  std::ofstream(keystore / "key.pem") << "key\n";
  fs::create_symlink("../../../key.pem", dir + "/key.pem");
  EXPECT_EQ(security_setup("/other", env).enclave_dir, dir);
}

TEST(SecurityEnvironment, EnforceEndsWithOneMessageNamingWhatIsMissing) {
  const fs::path keystore = keystore_with_enclave("align");
  const std::string dir = (keystore / "enclaves/align").string();
  auto error = [](const std::string& enclave, const SecurityEnvironment& env) {
    return what<rclcpp_dds::SecurityError>([&] { security_setup(enclave, env); });
  };
  EXPECT_EQ(error("/align", enforce("")), "SECURITY ERROR: ROS_SECURITY_KEYSTORE is not set");
  EXPECT_EQ(error("/dock", enforce(keystore)),
            "SECURITY ERROR: directory '" + keystore.string() +
                "/enclaves/dock' of enclave '/dock' does not exist");
  SecurityEnvironment overridden = enforce(keystore);
  overridden.enclave_override = "/dock";
  EXPECT_EQ(
      error("/align", overridden),
      "SECURITY ERROR: directory '" + keystore.string() +
          "/enclaves/dock' of enclave '/dock' (ROS_SECURITY_ENCLAVE_OVERRIDE) does not exist");

  fs::remove(dir + "/permissions.p7s");
  EXPECT_EQ(error("/align", enforce(keystore)),
            "SECURITY ERROR: enclave '/align' has no readable permissions.p7s in '" + dir +
                "' (No such file or directory)");
  fs::create_directory(dir + "/permissions.p7s");
  EXPECT_EQ(error("/align", enforce(keystore)),
            "SECURITY ERROR: enclave '/align' has no readable permissions.p7s in '" + dir +
                "' (not a regular file)");
  fs::remove(dir + "/permissions.p7s");
  fs::create_symlink("../../governance.p7s", dir + "/permissions.p7s");
  EXPECT_EQ(error("/align", enforce(keystore)),
            "SECURITY ERROR: enclave '/align' has no readable permissions.p7s in '" + dir +
                "' (No such file or directory)");
}

TEST(SecurityEnvironment, AnyOtherStrategyRunsWithoutSecurityAndSaysWhy) {
  const fs::path keystore = keystore_with_enclave("align");
  fs::remove(keystore / "enclaves/align/cert.pem");
  for (const char* strategy : {"", "Permissive", "enforce", "ENFORCE"}) {
    SecurityEnvironment env = enforce(keystore);
    env.strategy = strategy;
    const auto setup = security_setup("/align", env);
    EXPECT_FALSE(setup.secured()) << strategy;
    EXPECT_TRUE(setup.files.empty()) << strategy;
    EXPECT_EQ(setup.notice, "SECURITY WARNING: enclave '/align' has no readable cert.pem in '" +
                                (keystore / "enclaves/align").string() +
                                "' (No such file or directory); ROS_SECURITY_STRATEGY is not "
                                "Enforce, running without security")
        << strategy;
  }
}

TEST(SecurityPlugins, AreLoadedFromBesideTheLoadedDdsc) {
  for (const char* plugin : {"dds_security_auth", "dds_security_ac", "dds_security_crypto"}) {
    const std::string library = rclcpp_dds::security_plugin_library(plugin);
    EXPECT_EQ(fs::path(library).filename(), std::string("lib") + plugin + ".so");
    EXPECT_EQ(fs::path(library).parent_path().filename(), "libddsc0debian");
    EXPECT_TRUE(fs::is_regular_file(library)) << library;
  }
}

// Participants with credentials from one keystore, and ones without.
class SecureParticipant : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    keystore_ = new fs::path(fresh_dir("test_keystore"));
    const std::string command = std::string("sh ") + MAKE_TEST_KEYSTORE + " " +
                                keystore_->string() + " 180 181 182 183 184 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  static void TearDownTestSuite() {
    fs::remove_all(*keystore_);
    delete keystore_;
  }
  void TearDown() override { rclcpp::shutdown(); }

  static ChildProcess::Options secured(const std::string& domain_id, const std::string& strategy) {
    ChildProcess::Options options;
    options.set_env = {"ROS_DOMAIN_ID=" + domain_id, "ROS_SECURITY_ENABLE=true",
                       "ROS_SECURITY_STRATEGY=" + strategy,
                       "ROS_SECURITY_KEYSTORE=" + keystore_->string()};
    options.unset_env = {"ROS_SECURITY_ENCLAVE_OVERRIDE"};
    return options;
  }
  static ChildProcess::Options unsecured(const std::string& domain_id) {
    ChildProcess::Options options;
    options.set_env = {"ROS_DOMAIN_ID=" + domain_id};
    options.unset_env = {"ROS_SECURITY_ENABLE", "ROS_SECURITY_STRATEGY", "ROS_SECURITY_KEYSTORE",
                         "ROS_SECURITY_ENCLAVE_OVERRIDE"};
    return options;
  }
  static std::vector<std::string> listener(const std::string& enclave) {
    return {TEST_PEER, "listen", "/chatter", "--ros-args", "--enclave", enclave};
  }

  static fs::path* keystore_;
};

fs::path* SecureParticipant::keystore_ = nullptr;

TEST_F(SecureParticipant, TalksToItsPeersAndIsHiddenFromParticipantsWithoutCredentials) {
  ChildProcess hears(listener("/good"), secured("180", "Enforce"));
  ChildProcess deaf(listener("/"), unsecured("180"));
  // Cyclone refuses, with a warning, a secured participant that appears while the local one
  // is still being created; this one starts after the listener's.
  ASSERT_TRUE(hears.wait_for_line_containing("ready", kStartup)) << hears.stderr_text();
  for (const auto& assignment : secured("180", "Enforce").set_env) {
    const size_t equals = assignment.find('=');
    setenv(assignment.substr(0, equals).c_str(), assignment.substr(equals + 1).c_str(), 1);
  }
  const char* argv[] = {"test_security", "--ros-args", "--enclave", "/good"};
  rclcpp::init(4, argv);
  publish_until_heard("/chatter", hears, deaf);
  EXPECT_EQ(hears.stderr_text(), "");
  rclcpp::shutdown();

  // Without credentials the only /chatter subscription in sight is the other one without.
  unsetenv("ROS_SECURITY_ENABLE");
  rclcpp::init(1, argv);
  auto observer = std::make_shared<rclcpp::Node>("observer");
  ASSERT_TRUE(wait_until([&] { return observer->count_subscribers("/chatter") == 1; }, kStartup));
  EXPECT_FALSE(
      wait_until([&] { return observer->count_subscribers("/chatter") > 1; }, milliseconds(2000)));
}

TEST_F(SecureParticipant, RefusedCredentialsEndStartUpWithOneMessageNamingTheEnclave) {
  const std::string enclaves = keystore_->string() + "/enclaves";
  const struct {
    std::string enclave;
    std::string domain;
    std::vector<std::string> said;
  } cases[] = {
      {"/missing",
       "181",
       {"SECURITY ERROR: directory '" + enclaves +
        "/missing' of enclave '/missing' does not exist"}},
      {"/expired",
       "182",
       {"SECURITY ERROR: cannot create the DDS participant of enclave '/expired' with the files in "
        "'" +
            enclaves + "/expired': ",
        "certificate has expired"}},
      {"/foreign",
       "183",
       {"SECURITY ERROR: cannot create the DDS participant of enclave '/foreign' with the files in "
        "'" +
            enclaves + "/foreign': ",
        "validating local permissions", "certificate verify error"}},
  };
  for (const auto& [enclave, domain, said] : cases) {
    ChildProcess peer(listener(enclave), secured(domain, "Enforce"));
    EXPECT_EQ(peer.wait_exit(kStartup), 1) << enclave;
    const std::string error = peer.stderr_text();
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    for (const auto& part : said) {
      EXPECT_NE(error.find(part), std::string::npos) << error;
    }
    EXPECT_EQ(peer.stdout_text(), "") << enclave;
  }
}

TEST_F(SecureParticipant, PermissiveWithoutCredentialsRunsUnsecuredAndSaysSoOnce) {
  ChildProcess peer(listener("/missing"), secured("184", "Permissive"));
  ASSERT_TRUE(peer.wait_for_line_containing("ready", kStartup)) << peer.stderr_text();
  const char* argv[] = {"test_security"};
  setenv("ROS_DOMAIN_ID", "184", 1);
  rclcpp::init(1, argv);
  auto node = std::make_shared<rclcpp::Node>("talker");
  auto pub = node->create_publisher<geometry_msgs::msg::Twist>("/chatter", 10);
  EXPECT_TRUE(wait_until(
      [&] {
        pub->publish(geometry_msgs::msg::Twist());
        return count_received(peer) > 0;
      },
      kStartup));
  EXPECT_EQ(peer.stderr_text(), "SECURITY WARNING: directory '" + keystore_->string() +
                                    "/enclaves/missing' of enclave '/missing' does not exist; "
                                    "ROS_SECURITY_STRATEGY is not Enforce, running without "
                                    "security\n");
}

}  // namespace
