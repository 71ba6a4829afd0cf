// DDS Security enforced on the docking's domain, with keystores made by `ros2_lite security`:
// the secured closed loop docks; a participant without credentials, or with an identity whose
// permissions do not allow requesting, cannot start a docking. Domains 190, 191, 194,
// 197, 198 and 199.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "closed_loop.hpp"
#include "docking_peer/docking_peer.hpp"
#include "test_keystore.hpp"

namespace {

using namespace std::chrono_literals;
using test_support::ChildProcess;
using tools_test::dds_env;
using tools_test::enforce_env;
using tools_test::Keystore;

// What the controller logs on every cycle of a docking, before any of its steps.
constexpr char kDockingCycle[] = "viehcle_pose_in_station_frame:";

ChildProcess::Options with(ChildProcess::Options options, const std::vector<std::string>& env) {
  options.set_env.insert(options.set_env.end(), env.begin(), env.end());
  return options;
}

// `ros2_lite node list` on domain, with env added; its output once it lists
// node, or its last output when it never did within the timeout.
std::string node_list_until(int domain, const std::vector<std::string>& env,
                            const std::string& node, std::chrono::seconds timeout) {
  std::string out;
  test_support::wait_until(
      [&] {
        ChildProcess list({ROS2_LITE, "node", "list", "--spin-time", "1"},
                          with(dds_env(domain), env));
        list.wait_exit(20s);
        out = list.stdout_text() + list.stderr_text();
        return out.find(node) != std::string::npos;
      },
      timeout);
  return out;
}

// The secured controller of the keystore's /align_controller enclave on domain.
std::unique_ptr<ChildProcess> secured_controller(int domain, const Keystore& keystore) {
  auto env = enforce_env(keystore.path());
  env.push_back("CYCLONEDDS_URI=file://" LOOPBACK_PROFILE);
  return spawn_node(domain, {"--ros-args", "--enclave", "/align_controller"}, env);
}

class SecureClosedLoop : public ClosedLoop {};

TEST_F(SecureClosedLoop, DocksWithEveryProgramInItsEnclave) {
  // The governance names the domain: a keystore for each run.
  std::unique_ptr<Keystore> keystore;
  const auto out = dock_on_one_of({190, 197, 198, 199}, kNoiselessCamera, [&](int domain) {
    keystore.reset();
    keystore = std::make_unique<Keystore>(domain);
    for (const char* program : {"/align_controller", "/docking_sim", "/align_request"}) {
      keystore->add_enclave(program, SECURITY_POLICY);
    }
    keystore_ = keystore->path();
  });
  if (!out) return;
  EXPECT_NE(out->find("docked: result (1, 1, 1)"), std::string::npos) << *out;
  EXPECT_TRUE(controller_logged("docking finish!"));
  EXPECT_EQ(loop_->summary("ground_truth"), "docked") << loop_->summary_text();
  // Stopped by the runner's SIGTERM, the secured controller ends cleanly.
  EXPECT_EQ(loop_->exit_status("align_controller"), 0) << loop_->log("align_controller");
}

// The test process and its tools run without any ROS_SECURITY_* variable.
TEST(WithoutCredentials, ALayerNodeSeesNoneOfTheSecuredNodeAndCannotStartADocking) {
  Keystore keystore(191);
  keystore.add_enclave("/align_controller", SECURITY_POLICY);
  keystore.add_enclave("/align_request", SECURITY_POLICY);
  auto node = secured_controller(191, keystore);
  // With credentials the node is there.
  const auto secured_env = enforce_env(keystore.path());
  auto request_identity = secured_env;
  request_identity.push_back("ROS_SECURITY_ENCLAVE_OVERRIDE=/align_request");
  ASSERT_NE(
      node_list_until(191, request_identity, "/align_controller", 30s).find("/align_controller"),
      std::string::npos)
      << node->stdout_text() << node->stderr_text();

  DockingPeer peer(191);
  for (int i = 0; i < 20; ++i) {
    peer.request(1, 0, 0);
    peer.docking_pose(1.0, 0.0, 0.0);
    peer.spin_for(250ms);
  }
  EXPECT_TRUE(peer.cmds.empty()) << peer.cmds.size() << " commands received";
  EXPECT_TRUE(peer.results.empty());
  EXPECT_EQ(node->stdout_text().find(kDockingCycle), std::string::npos) << node->stdout_text();
  EXPECT_EQ(node->stdout_text().find("step 1"), std::string::npos);

  // An unsecured tool sees the unsecured peer, and nothing of the node.
  const std::string listed = node_list_until(191, {}, "/docking_peer", 20s);
  EXPECT_NE(listed.find("/docking_peer"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("/align_controller"), std::string::npos) << listed;
  // The peer's own subscription is all there is of /cmd_vel.
  ChildProcess info({ROS2_LITE, "topic", "info", "/cmd_vel"}, dds_env(191));
  EXPECT_EQ(info.wait_exit(20s), 0) << info.stderr_text();
  EXPECT_NE(info.stdout_text().find("Publisher count: 0\n"), std::string::npos)
      << info.stdout_text();
  EXPECT_FALSE(node->wait_exit(0ms)) << "the secured node ended: " << node->stderr_text();
}

TEST(WithAnIdentityOnly, AProgramNotAllowedToPublishTheRequestCannotStartADocking) {
  Keystore keystore(194);
  keystore.add_enclave("/align_controller", SECURITY_POLICY);
  keystore.add_enclave("/align_request", SECURITY_POLICY);
  // align_request's grants, but for the request itself.
  const std::string policy = ::testing::TempDir() + "listener_policy.xml";
  std::ofstream(policy) << R"(<policy version="0.2.0"><enclaves><enclave path="/listener">
  <profiles><profile ns="/" node="align_request">
    <topics subscribe="ALLOW"><topic>align_result</topic></topics>
    <topics publish="ALLOW"><topic>rosout</topic></topics>
    <topics publish="ALLOW" subscribe="ALLOW"><topic>parameter_events</topic></topics>
    <services reply="ALLOW">
      <service>~/describe_parameters</service><service>~/get_parameter_types</service>
      <service>~/get_parameters</service><service>~/list_parameters</service>
      <service>~/set_parameters</service><service>~/set_parameters_atomically</service>
    </services>
  </profile></profiles></enclave></enclaves></policy>
)";
  keystore.add_enclave("/listener", policy);
  std::remove(policy.c_str());
  auto node = secured_controller(194, keystore);
  const auto secured_env = enforce_env(keystore.path());
  auto listener = secured_env;
  listener.push_back("ROS_SECURITY_ENCLAVE_OVERRIDE=/listener");
  // The identity is a valid one: it authenticates and discovers the node.
  ASSERT_NE(node_list_until(194, listener, "/align_controller", 30s).find("/align_controller"),
            std::string::npos)
      << node->stdout_text() << node->stderr_text();

  auto request = [&](const std::string& enclave) {
    auto request = std::make_unique<ChildProcess>(
        std::vector<std::string>{ALIGN_REQUEST, "dock", "--timeout", "5", "--ros-args", "--enclave",
                                 enclave},
        with(dds_env(194), secured_env));
    request->wait_exit(30s);
    return request;
  };
  const auto refused = request("/listener");
  EXPECT_NE(refused->wait_exit(0ms), 0) << refused->stdout_text();
  // Refused for the request alone: everything else of the program is allowed.
  EXPECT_NE(refused->stderr_text().find("cannot create DDS topic 'rt/align_request'"),
            std::string::npos)
      << refused->stderr_text();
  EXPECT_NE(refused->stderr_text().find("Not Allowed By Security"), std::string::npos);
  EXPECT_EQ(node->stdout_text().find(kDockingCycle), std::string::npos) << node->stdout_text();

  // The same request from the enclave allowed to make it does reach the node.
  const auto allowed = request("/align_request");
  EXPECT_TRUE(test_support::wait_until(
      [&] { return node->stdout_text().find(kDockingCycle) != std::string::npos; }, 10s))
      << allowed->stdout_text() << allowed->stderr_text();
}

}  // namespace
