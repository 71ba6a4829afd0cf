// A plain Cyclone DDS program (its own participant, topics from idlc-compiled types, no ROS 2
// layer) on the node's domain: it drives the unsecured node, and gets nothing from the node
// secured with a keystore made by `ros2_lite security`. Domains 192 and 193.
#include <dds/dds.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "docking_peer/docking_peer.hpp"
#include "plain_types.h"
#include "process_env.hpp"
#include "test_keystore.hpp"

namespace {

using namespace std::chrono_literals;
using test_support::ChildProcess;

// The controller logs this on every cycle of a docking, before any of its steps.
constexpr char kDockingCycle[] = "viehcle_pose_in_station_frame:";

// One participant on domain with a dock-request writer, a /cmd_vel reader and
// what it has discovered of other participants' writers.
class PlainParticipant {
 public:
  explicit PlainParticipant(int domain) {
    domain_ = dds_create_domain(domain, "file://" LOOPBACK_PROFILE);
    participant_ = dds_create_participant(domain, nullptr, nullptr);
    EXPECT_GT(participant_, 0) << dds_strretcode(participant_);
    dds_qos_t* qos = dds_create_qos();
    dds_qset_reliability(qos, DDS_RELIABILITY_RELIABLE, DDS_INFINITY);
    dds_qset_history(qos, DDS_HISTORY_KEEP_LAST, 10);
    const dds_entity_t request = dds_create_topic(
        participant_, &quorvane_protocol_msg_dds__Align__desc, "rt/align_request", qos, nullptr);
    writer_ = dds_create_writer(participant_, request, qos, nullptr);
    const dds_entity_t cmd = dds_create_topic(participant_, &geometry_msgs_msg_dds__Twist__desc,
                                              "rt/cmd_vel", qos, nullptr);
    cmd_reader_ = dds_create_reader(participant_, cmd, qos, nullptr);
    dds_delete_qos(qos);
    publications_ =
        dds_create_reader(participant_, DDS_BUILTIN_TOPIC_DCPSPUBLICATION, nullptr, nullptr);
    EXPECT_GT(writer_, 0);
    EXPECT_GT(cmd_reader_, 0);
    EXPECT_GT(publications_, 0);
  }
  ~PlainParticipant() { dds_delete(domain_); }

  void request_docking() {
    quorvane_protocol_msg_dds__Align_ request{1, 0, 0};
    EXPECT_EQ(dds_write(writer_, &request), DDS_RETCODE_OK);
  }

  // Takes what has come in since the last call.
  void poll() {
    void* samples[16] = {};
    dds_sample_info_t infos[16];
    dds_guid_t own;
    dds_get_guid(participant_, &own);
    int n = 0;
    while ((n = dds_take(publications_, samples, infos, 16, 16)) > 0) {
      for (int i = 0; i < n; ++i) {
        const auto* p = static_cast<dds_builtintopic_endpoint_t*>(samples[i]);
        if (infos[i].valid_data && std::memcmp(p->participant_key.v, own.v, sizeof own.v) != 0) {
          foreign_topics.insert(p->topic_name);
        }
      }
      dds_return_loan(publications_, samples, n);
    }
    while ((n = dds_take(cmd_reader_, samples, infos, 16, 16)) > 0) {
      for (int i = 0; i < n; ++i) commands += infos[i].valid_data;
      dds_return_loan(cmd_reader_, samples, n);
    }
  }

  std::set<std::string> foreign_topics;  // of other participants' writers
  int commands = 0;                      // /cmd_vel samples received

 private:
  dds_entity_t domain_ = 0, participant_ = 0, writer_ = 0, cmd_reader_ = 0, publications_ = 0;
};

std::unique_ptr<ChildProcess> node_on(int domain, std::vector<std::string> args,
                                      std::vector<std::string> env) {
  env.push_back("CYCLONEDDS_URI=file://" LOOPBACK_PROFILE);
  return spawn_node(domain, args, env);
}

TEST(PlainDdsWriter, StartsADockingOfTheUnsecuredNode) {
  auto node = node_on(192, {}, {});
  PlainParticipant plain(192);
  // Volatile: requests before matching are lost, so ask until the node answers.
  const bool docking = test_support::wait_until(
      [&] {
        plain.request_docking();
        plain.poll();
        return node->stdout_text().find(kDockingCycle) != std::string::npos;
      },
      20s);
  EXPECT_TRUE(docking) << node->stdout_text() << node->stderr_text();
  EXPECT_EQ(plain.foreign_topics.count("rt/cmd_vel"), 1u);
  EXPECT_TRUE(test_support::wait_until(
      [&] {
        plain.poll();
        return plain.commands > 0;
      },
      10s));
}

TEST(PlainDdsWriter, GetsNothingFromTheSecuredNode) {
  tools_test::Keystore keystore(193);
  keystore.add_enclave("/align_controller", SECURITY_POLICY);
  auto node = node_on(193, {"--ros-args", "--enclave", "/align_controller"},
                      tools_test::enforce_env(keystore.path()));
  // The same requests, as long as the unsecured node took to start its docking and more.
  PlainParticipant plain(193);
  const auto deadline = std::chrono::steady_clock::now() + 8s;
  while (std::chrono::steady_clock::now() < deadline) {
    plain.request_docking();
    plain.poll();
    std::this_thread::sleep_for(200ms);
  }
  std::string seen;
  for (const auto& topic : plain.foreign_topics) seen += topic + " ";
  EXPECT_TRUE(plain.foreign_topics.empty()) << seen;
  EXPECT_EQ(plain.commands, 0);
  EXPECT_EQ(node->stdout_text().find(kDockingCycle), std::string::npos) << node->stdout_text();
  EXPECT_EQ(node->stdout_text().find("step 1"), std::string::npos);
  EXPECT_FALSE(node->wait_exit(0ms)) << "the secured node ended: " << node->stderr_text();
}

}  // namespace
