// Two processes over DDS on loopback: the test and test_peer. Each test has
// a ROS_DOMAIN_ID of its own so that tests running in parallel stay apart.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "listeners.hpp"
#include "message_samples.hpp"
#include "rclcpp/rclcpp.hpp"
#include "test_support/child_process.hpp"

namespace {

using std::chrono::milliseconds;
using test_support::ChildProcess;
using test_support::wait_until;
using Clock = std::chrono::steady_clock;

constexpr milliseconds kStartup{10000};

ChildProcess::Options on_domain(const std::string& domain_id) {
  ChildProcess::Options options;
  options.set_env = {"ROS_DOMAIN_ID=" + domain_id};
  return options;
}

void init_on_domain(const char* domain_id, std::vector<const char*> args = {}) {
  setenv("ROS_DOMAIN_ID", domain_id, 1);
  args.insert(args.begin(), "test_cross_process");
  rclcpp::init(static_cast<int>(args.size()), args.data());
}

class CrossProcess : public testing::Test {
 protected:
  void TearDown() override { rclcpp::shutdown(); }
};

// Sends a message to the peer's echo and waits for it to come back.
template <class M>
std::shared_ptr<M> echo(const rclcpp::Node::SharedPtr& node, const char* type_name,
                        const M& message) {
  std::shared_ptr<M> back;
  auto sub = node->template create_subscription<M>(message_samples::echo_topic("pong", type_name),
                                                   10, [&](std::shared_ptr<M> m) { back = m; });
  auto pub = node->template create_publisher<M>(message_samples::echo_topic("ping", type_name), 10);
  if (wait_until([&] { return pub->get_subscription_count() && sub->get_publisher_count(); },
                 kStartup)) {
    pub->publish(message);
    wait_until(
        [&] {
          rclcpp::spin_some(node);
          return back != nullptr;
        },
        kStartup);
  }
  return back;
}

TEST_F(CrossProcess, EveryMessageTypeCrossesIntact) {
  ChildProcess peer({TEST_PEER, "echo"}, on_domain("20"));
  ASSERT_TRUE(peer.wait_for_line_containing("ready", kStartup)) << peer.stderr_text();
  init_on_domain("20");
  auto node = std::make_shared<rclcpp::Node>("sender");
  message_samples::for_each(message_samples::make(), [&](const auto& message, const char* type) {
    auto back = echo(node, type, message);
    ASSERT_NE(back, nullptr) << type;
    EXPECT_EQ(*back, message) << type;
  });
}

TEST_F(CrossProcess, AnotherDomainReceivesNothing) {
  ChildProcess same({TEST_PEER, "listen", "/chatter"}, on_domain("21"));
  ChildProcess other({TEST_PEER, "listen", "/chatter"}, on_domain("22"));
  init_on_domain("21");
  publish_until_heard("/chatter", same, other);
}

TEST_F(CrossProcess, RemapMovesThePublication) {
  ChildProcess moved({TEST_PEER, "listen", "/robot1/cmd_vel"}, on_domain("23"));
  ChildProcess original({TEST_PEER, "listen", "/cmd_vel"}, on_domain("23"));
  init_on_domain("23", {"--ros-args", "-r", "/cmd_vel:=/robot1/cmd_vel"});
  publish_until_heard("/cmd_vel", moved, original);
}

TEST_F(CrossProcess, DepthOneSubscriberGetsOnlyTheNewestOfTen) {
  init_on_domain("28");
  auto node = std::make_shared<rclcpp::Node>("slow_reader");
  std::vector<int32_t> received;
  auto sub = node->create_subscription<quorvane_protocol::msg::Align>(
      "/align_request", rclcpp::QoS(rclcpp::KeepLast(1)),
      [&](quorvane_protocol::msg::Align::SharedPtr msg) { received.push_back(msg->success); });
  ChildProcess peer({TEST_PEER, "burst", "/align_request"}, on_domain("28"));
  // Not spinning meanwhile; the peer's exit means all ten were acknowledged.
  ASSERT_EQ(peer.wait_exit(milliseconds(20000)), 0) << peer.stderr_text();
  rclcpp::spin_some(node);
  rclcpp::spin_some(node);
  EXPECT_EQ(received, std::vector<int32_t>{10});
}

// A 5 s period: only a wake-up by the signal ends the loop within a second,
// and only ok() turning false ends it before a minute. rclcpp's line for the
// signal goes to standard error unless its logger is set above INFO.
TEST_F(CrossProcess, SigTermAndSigIntEndARateLoopAtOnce) {
  const std::regex logged(
      R"(\[INFO\] \[[0-9]{10}\.[0-9]{9}\] \[rclcpp\]: signal_handler\(signum=([0-9]+)\)\n)");
  const std::tuple<int, const char*, std::vector<std::string>> cases[] = {
      {SIGTERM, "24", {}},
      {SIGINT, "25", {}},
      {SIGINT, "29", {"--ros-args", "--log-level", "rclcpp:=warn"}},
      {SIGTERM, "29", {"--ros-args", "--disable-stdout-logs"}},
  };
  for (const auto& [sig, domain, ros_args] : cases) {
    std::vector<std::string> argv = {TEST_PEER, "rate", "0.2"};
    argv.insert(argv.end(), ros_args.begin(), ros_args.end());
    ChildProcess peer(argv, on_domain(domain));
    ASSERT_TRUE(peer.wait_for_line_containing("tick", kStartup)) << peer.stderr_text();
    const auto sent = Clock::now();
    peer.send_signal(sig);
    EXPECT_EQ(peer.wait_exit(milliseconds(5000)), 0) << strsignal(sig) << peer.stderr_text();
    EXPECT_LT(Clock::now() - sent, milliseconds(1000)) << strsignal(sig);
    EXPECT_TRUE(peer.wait_for_line_containing("stopped", milliseconds(1000))) << strsignal(sig);
    std::smatch line;
    const std::string err = peer.stderr_text();
    if (ros_args.empty()) {
      ASSERT_TRUE(std::regex_match(err, line, logged)) << err;
      EXPECT_EQ(line[1].str(), std::to_string(sig));
    } else {
      EXPECT_EQ(err, "") << ros_args.back();
    }
  }
}

// --- Loopback check -------------------------------------------------------
//
// How: the peer runs with no CYCLONEDDS_URI, so on the built-in profile.
// 1. Its sockets: the inodes behind /proc/<pid>/fd/* are looked up in
//    /proc/<pid>/net/{udp,udp6,tcp,tcp6,raw,raw6}. Cyclone binds its
//    transmit socket to the address of the interface it chose, so one socket
//    must be bound to 127.0.0.1 and none to any other specific address; the
//    rest may listen on the wildcard address; none may be connected to, or
//    be TCP/raw, anything off loopback.
// 2. Multicast: /proc/net/igmp and /proc/net/igmp6 list the groups joined per
//    interface; no membership on any interface but lo may appear while the
//    peer runs (Cyclone's default would join 239.255.0.1 there).

struct Socket {
  std::string table, local, remote;  // addresses in hex as the kernel prints them
};

std::vector<Socket> inet_sockets(pid_t pid) {
  const std::string proc = "/proc/" + std::to_string(pid);
  std::set<std::string> inodes;
  for (const auto& entry : std::filesystem::directory_iterator(proc + "/fd")) {
    std::error_code ec;
    const auto target = std::filesystem::read_symlink(entry.path(), ec).string();
    if (!ec && target.rfind("socket:[", 0) == 0) {
      inodes.insert(target.substr(8, target.size() - 9));
    }
  }
  std::vector<Socket> sockets;
  for (const char* table : {"udp", "udp6", "tcp", "tcp6", "raw", "raw6"}) {
    std::ifstream in(proc + "/net/" + table);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
      fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
          timeout >> inode;
      if (inodes.count(inode)) {
        sockets.push_back(
            {table, local.substr(0, local.find(':')), remote.substr(0, remote.find(':'))});
      }
    }
  }
  return sockets;
}

bool is_wildcard(const std::string& hex) { return hex.find_first_not_of('0') == std::string::npos; }

// 127.0.0.0/8 (first byte last in the kernel's little-endian hex) or ::1,
// also as the v4-mapped ::ffff:127.x.
bool is_loopback(const std::string& hex) {
  if (hex.size() == 8) {
    return hex.substr(6, 2) == "7F";
  }
  return hex == "00000000000000000000000001000000" ||
         (hex.substr(0, 24) == "0000000000000000FFFF0000" && hex.substr(30, 2) == "7F");
}

// (interface, group) -> users, for every interface but lo.
std::map<std::string, int> multicast_memberships() {
  std::map<std::string, int> groups;
  auto add = [&](const std::string& device, const std::string& group, int users) {
    if (device != "lo") {
      groups[device + " " + group] += users;
    }
  };
  std::ifstream igmp("/proc/net/igmp");
  std::string line, index, device, group;
  int users = 0;
  std::getline(igmp, line);  // header
  while (std::getline(igmp, line)) {
    std::istringstream fields(line);
    if (line[0] != '\t') {
      fields >> index >> device;  // an interface, its groups on the lines that follow
    } else if (fields >> group >> users) {
      add(device, group, users);
    }
  }
  std::ifstream igmp6("/proc/net/igmp6");
  while (std::getline(igmp6, line)) {
    std::istringstream fields(line);
    if (fields >> index >> device >> group >> users) {
      add(device, group, users);
    }
  }
  return groups;
}

TEST_F(CrossProcess, BuiltInProfileKeepsToLoopback) {
  const auto memberships_before = multicast_memberships();
  ChildProcess::Options options = on_domain("26");
  options.unset_env = {"CYCLONEDDS_URI"};
  ChildProcess peer({TEST_PEER, "echo"}, options);
  ASSERT_TRUE(peer.wait_for_line_containing("ready", kStartup)) << peer.stderr_text();
  // Talk to it, so that discovery and data have both run.
  init_on_domain("26");
  auto node = std::make_shared<rclcpp::Node>("prober");
  ASSERT_NE(echo(node, "quorvane_protocol::msg::dds_::Align_", message_samples::make().align),
            nullptr);

  const auto sockets = inet_sockets(peer.pid());
  ASSERT_FALSE(sockets.empty());
  int bound_to_loopback = 0;
  for (const auto& s : sockets) {
    EXPECT_TRUE(s.table == "udp" || s.table == "udp6") << s.table;
    EXPECT_TRUE(is_wildcard(s.local) || is_loopback(s.local)) << s.table << " " << s.local;
    EXPECT_TRUE(is_wildcard(s.remote) || is_loopback(s.remote)) << s.table << " " << s.remote;
    bound_to_loopback += is_loopback(s.local) ? 1 : 0;
  }
  EXPECT_GE(bound_to_loopback, 1);

  for (const auto& [group, users] : multicast_memberships()) {
    const auto before = memberships_before.find(group);
    EXPECT_LE(users, before == memberships_before.end() ? 0 : before->second)
        << "new multicast membership " << group;
  }
}

TEST_F(CrossProcess, UsersProfileIsUsedUnchanged) {
  std::string dir = (std::filesystem::temp_directory_path() / "rclcpp_dds_profile_XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const std::string trace = dir + "/trace.log";
  ChildProcess::Options options = on_domain("27");
  // Loopback like the built-in one, plus a trace file that only this profile asks for.
  options.set_env.push_back(
      "CYCLONEDDS_URI=<CycloneDDS><Domain><General><Interfaces><NetworkInterface "
      "address=\"127.0.0.1\"/></Interfaces><AllowMulticast>false</AllowMulticast></General>"
      "<Discovery><ParticipantIndex>auto</ParticipantIndex><Peers><Peer address=\"127.0.0.1\"/>"
      "</Peers></Discovery><Tracing><Category>config</Category><OutputFile>" +
      trace + "</OutputFile></Tracing></Domain></CycloneDDS>");
  {
    ChildProcess peer({TEST_PEER, "listen", "/chatter"}, options);
    ASSERT_TRUE(peer.wait_for_line_containing("ready", kStartup)) << peer.stderr_text();
    peer.send_signal(SIGTERM);
    EXPECT_EQ(peer.wait_exit(milliseconds(5000)), 0);
  }
  std::stringstream text;
  text << std::ifstream(trace).rdbuf();
  EXPECT_NE(text.str().find("127.0.0.1"), std::string::npos) << text.str().substr(0, 500);
  std::filesystem::remove_all(dir);
}

}  // namespace
