// ros2_lite security: the keystore it writes, checked with the openssl command.
// Domains 190-191 (written into the documents; nothing goes on the wire).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "test_support/child_process.hpp"

namespace {

namespace fs = std::filesystem;
using test_support::ChildProcess;
using Names = std::vector<std::string>;

constexpr std::chrono::milliseconds kTimeout{30000};

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome run(const std::vector<std::string>& argv, const std::string& domain = "190") {
  ChildProcess child(argv, {{"ROS_DOMAIN_ID=" + domain}, {}, ""});
  const int status = child.wait_exit(kTimeout).value_or(-1);
  return {status, child.stdout_text(), child.stderr_text()};
}

Outcome security(std::vector<std::string> args, const std::string& domain = "190") {
  args.insert(args.begin(), {ROS2_LITE, "security"});
  return run(args, domain);
}

std::string read(const fs::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The topics of one <publish> or <subscribe> of the first <allow_rule>.
Names allowed(const std::string& permissions, const std::string& direction) {
  const size_t rule = permissions.find("<allow_rule>");
  const size_t begin = permissions.find("<" + direction + ">", rule);
  const size_t end = permissions.find("</" + direction + ">", begin);
  const std::string block = permissions.substr(begin, end - begin);
  Names names;
  const std::regex topic("<topic>([^<]*)</topic>");
  for (auto it = std::sregex_iterator(block.begin(), block.end(), topic);
       it != std::sregex_iterator(); ++it) {
    names.push_back((*it)[1]);
  }
  return names;
}

class Keystore : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "keystore_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    root_ = dir_ / "keys";
  }
  void TearDown() override { fs::remove_all(dir_); }

  Outcome openssl(std::vector<std::string> args) {
    args.insert(args.begin(), "openssl");
    return run(args);
  }
  fs::path enclave(const std::string& name) { return root_ / "enclaves" / name; }

  fs::path dir_;
  fs::path root_;
};

TEST_F(Keystore, LayoutAsSros2MakesIt) {
  const Outcome created = security({"create_keystore", root_.string()});
  ASSERT_EQ(created.status, 0) << created.err;
  EXPECT_EQ(created.out + created.err, "");
  EXPECT_EQ(fs::read_symlink(root_ / "public" / "identity_ca.cert.pem"), "ca.cert.pem");
  EXPECT_EQ(fs::read_symlink(root_ / "public" / "permissions_ca.cert.pem"), "ca.cert.pem");
  EXPECT_EQ(fs::read_symlink(root_ / "private" / "identity_ca.key.pem"), "ca.key.pem");
  EXPECT_EQ(fs::read_symlink(root_ / "private" / "permissions_ca.key.pem"), "ca.key.pem");

  ASSERT_EQ(security({"create_enclave", root_.string(), "/robot/align_controller"}).status, 0);
  const fs::path dir = enclave("robot/align_controller");
  EXPECT_EQ(fs::read_symlink(dir / "identity_ca.cert.pem"), "../../../public/identity_ca.cert.pem");
  EXPECT_EQ(fs::read_symlink(dir / "permissions_ca.cert.pem"),
            "../../../public/permissions_ca.cert.pem");
  EXPECT_EQ(fs::read_symlink(dir / "governance.p7s"), "../../governance.p7s");
  for (const auto* file : {"cert.pem", "key.pem", "permissions.xml", "permissions.p7s"}) {
    EXPECT_TRUE(fs::is_regular_file(dir / file)) << file;
  }
  // The key is the enclave's secret.
  EXPECT_EQ(fs::status(dir / "key.pem").permissions() & fs::perms::group_all, fs::perms::none);

  // Again: the identity stays, the links are kept.
  const std::string cert = read(dir / "cert.pem");
  ASSERT_EQ(security({"create_enclave", root_.string(), "/robot/align_controller"}).status, 0);
  EXPECT_EQ(read(dir / "cert.pem"), cert);
}

TEST_F(Keystore, CertificatesChainAndDocumentsAreSignedByTheCa) {
  ASSERT_EQ(security({"create_keystore", root_.string()}).status, 0);
  ASSERT_EQ(security({"create_enclave", root_.string(), "/align_controller"}).status, 0);
  const fs::path dir = enclave("align_controller");

  Outcome checked = openssl(
      {"verify", "-CAfile", (dir / "identity_ca.cert.pem").string(), (dir / "cert.pem").string()});
  EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
  for (const auto* document : {"governance.p7s", "permissions.p7s"}) {
    checked = openssl({"smime", "-verify", "-in", (dir / document).string(), "-CAfile",
                       (dir / "permissions_ca.cert.pem").string()});
    EXPECT_EQ(checked.status, 0) << document << checked.err;
    EXPECT_NE(checked.out.find("<dds "), std::string::npos) << document;
  }
  // A document changed after signing no longer verifies.
  std::string tampered = read(dir / "permissions.p7s");
  tampered.replace(tampered.find("<default>DENY"), 13, "<default>ALOW");
  std::ofstream(dir_ / "tampered.p7s") << tampered;
  EXPECT_NE(openssl({"smime", "-verify", "-in", (dir_ / "tampered.p7s").string(), "-CAfile",
                     (dir / "permissions_ca.cert.pem").string()})
                .status,
            0);

  // ECDSA P-256 throughout; the CA may sign one level below it.
  const std::string ca_text =
      openssl({"x509", "-in", (root_ / "public/ca.cert.pem").string(), "-noout", "-text"}).out;
  EXPECT_NE(ca_text.find("Subject: CN = sros2CA"), std::string::npos) << ca_text;
  EXPECT_NE(ca_text.find("critical\n                CA:TRUE, pathlen:1"), std::string::npos);
  const std::string text =
      openssl({"x509", "-in", (dir / "cert.pem").string(), "-noout", "-text"}).out;
  EXPECT_NE(text.find("Issuer: CN = sros2CA"), std::string::npos) << text;
  EXPECT_NE(text.find("Subject: CN = /align_controller"), std::string::npos) << text;
  EXPECT_NE(text.find("NIST CURVE: P-256"), std::string::npos);
  EXPECT_NE(text.find("Signature Algorithm: ecdsa-with-SHA256"), std::string::npos);
  EXPECT_NE(text.find("CA:FALSE"), std::string::npos);
  // Valid since a day ago, for ten years less a day from now.
  EXPECT_EQ(
      openssl({"x509", "-in", (dir / "cert.pem").string(), "-noout", "-checkend", "0"}).status, 0);
  EXPECT_EQ(openssl({"x509", "-in", (dir / "cert.pem").string(), "-noout", "-checkend",
                     std::to_string(3648L * 86400)})
                .status,
            0);
  EXPECT_NE(openssl({"x509", "-in", (dir / "cert.pem").string(), "-noout", "-checkend",
                     std::to_string(3650L * 86400)})
                .status,
            0);

  // The permissions grant the certificate's subject, for as long as it is valid.
  const std::string subject = openssl({"x509", "-in", (dir / "cert.pem").string(), "-noout",
                                       "-subject", "-nameopt", "RFC2253"})
                                  .out;
  const std::string permissions = read(dir / "permissions.xml");
  EXPECT_EQ("subject=" +
                permissions.substr(
                    permissions.find("<subject_name>") + 14,
                    permissions.find("</subject_name>") - permissions.find("<subject_name>") - 14) +
                "\n",
            subject);
  const std::string dates = openssl({"x509", "-in", (dir / "cert.pem").string(), "-noout",
                                     "-startdate", "-dateopt", "iso_8601"})
                                .out;
  const std::string not_before = dates.substr(10, 10) + "T" + dates.substr(21, 8);
  EXPECT_NE(permissions.find("<not_before>" + not_before + "</not_before>"), std::string::npos)
      << dates << permissions;
  EXPECT_NE(read(root_ / "enclaves/governance.xml").find("<id>190</id>"), std::string::npos);
  EXPECT_NE(permissions.find("<id>190</id>"), std::string::npos);
}

TEST_F(Keystore, ConfigPolicyGrantsEachProgramExactlyWhatItUses) {
  ASSERT_EQ(security({"create_keystore", root_.string()}).status, 0);
  const Names parameter_requests = {
      "rq/X/describe_parametersRequest", "rq/X/get_parameter_typesRequest",
      "rq/X/get_parametersRequest",      "rq/X/list_parametersRequest",
      "rq/X/set_parametersRequest",      "rq/X/set_parameters_atomicallyRequest"};
  struct Expected {
    std::string program;
    Names publish;
    Names subscribe;
  };
  const std::vector<Expected> expected = {
      {"align_controller",
       {"rt/align_result", "rt/cmd_vel"},
       {"rt/align_request", "rt/diff_bot/odom", "rt/docking_pose"}},
      {"docking_sim",
       {"rt/diff_bot/odom", "rt/docking_pose", "rt/docking_sim/ground_truth"},
       {"rt/cmd_vel"}},
      {"align_request",
       {"rt/align_request", "rt/cmd_vel"},
       {"rt/align_result", "rt/diff_bot/odom", "rt/docking_pose", "rt/docking_sim/ground_truth"}}};
  for (const auto& [program, publish, subscribe] : expected) {
    ASSERT_EQ(security({"create_enclave", root_.string(), "/" + program}).status, 0);
    const Outcome made =
        security({"create_permission", root_.string(), "/" + program, SECURITY_POLICY});
    ASSERT_EQ(made.status, 0) << made.err;
    Names want_publish = {"rt/parameter_events", "rt/rosout"};
    Names want_subscribe = {"rt/parameter_events"};
    for (auto request : parameter_requests) {
      std::string reply = request.replace(request.find("X"), 1, program);
      want_subscribe.push_back(reply);
      reply.replace(0, 2, "rr").replace(reply.size() - 7, 7, "Reply");
      want_publish.push_back(reply);
    }
    want_publish.insert(want_publish.end(), publish.begin(), publish.end());
    want_subscribe.insert(want_subscribe.end(), subscribe.begin(), subscribe.end());
    std::sort(want_publish.begin(), want_publish.end());
    std::sort(want_subscribe.begin(), want_subscribe.end());

    const std::string permissions = read(enclave(program) / "permissions.xml");
    Names got_publish = allowed(permissions, "publish");
    Names got_subscribe = allowed(permissions, "subscribe");
    std::sort(got_publish.begin(), got_publish.end());
    std::sort(got_subscribe.begin(), got_subscribe.end());
    EXPECT_EQ(got_publish, want_publish) << program;
    EXPECT_EQ(got_subscribe, want_subscribe) << program;
    EXPECT_EQ(permissions.find("<deny_rule>"), std::string::npos) << program;
    EXPECT_EQ(openssl({"smime", "-verify", "-in", (enclave(program) / "permissions.p7s").string(),
                       "-CAfile", (root_ / "public/permissions_ca.cert.pem").string()})
                  .status,
              0);
  }
}

TEST_F(Keystore, FailuresAsRos2SecurityReportsThem) {
  Outcome failed = security({"create_enclave", root_.string(), "/x"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err,
            "Unable to create enclave: '" + root_.string() + "' is not a valid keystore\n");

  ASSERT_EQ(security({"create_keystore", root_.string() + "/"}).status, 0);
  failed = security({"create_keystore", root_.string() + "/"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err,
            "Unable to create keystore: keystore '" + root_.string() + "' already exists\n");

  failed = security({"create_enclave", root_.string(), "x"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out,
            "Invalid namespace: namespace must be absolute, it must lead with a '/':\n"
            "  'x'\n   ^\n");
  EXPECT_EQ(failed.err, "Unable to create enclave: 'x' is not a valid enclave name\n");
  EXPECT_FALSE(fs::exists(enclave("x")));

  failed = security({"create_permission", root_.string(), "/intruder", SECURITY_POLICY});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err, "unable to find enclave \"/intruder\"\n");
  failed = security({"create_permission", root_.string(), "/x", (dir_ / "none.xml").string()});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err, "policy file '" + (dir_ / "none.xml").string() + "' does not exist\n");

  failed = security({"create_keystore"});
  EXPECT_EQ(failed.status, 2);
  EXPECT_EQ(failed.err,
            "usage: ros2_lite security create_keystore [-h] ROOT\n"
            "ros2_lite security create_keystore: error: the following arguments are required: "
            "ROOT\n");
}

}  // namespace
