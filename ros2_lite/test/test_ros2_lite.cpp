// ros2_lite against a peer process over DDS on loopback, and its exit codes.
// Domains 155-159.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "test_support/child_process.hpp"
#include "tool_run.hpp"

namespace {

using std::chrono::milliseconds;
using test_support::ChildProcess;

using ros2_lite_test::kTimeout;
using ros2_lite_test::on_domain;
using ros2_lite_test::ToolRun;

// A generous spin time: the peer is already up, so discovery is the only wait.
ToolRun ros2_lite(const std::string& domain_id, std::vector<std::string> args) {
  if (args.size() >= 2) {
    args.insert(args.begin() + 2, {"--spin-time", "2"});
  }
  return ros2_lite_test::run_tool(domain_id, args);
}

std::unique_ptr<ChildProcess> start_peer(const std::string& domain_id,
                                         std::vector<std::string> ros_args = {}) {
  ros_args.insert(ros_args.begin(), TEST_PEER);
  auto peer = std::make_unique<ChildProcess>(ros_args, on_domain(domain_id));
  EXPECT_TRUE(peer->wait_for_line_containing("ready", kTimeout)) << peer->stderr_text();
  return peer;
}

TEST(Ros2Lite, NodeListShowsPeersNotItself) {
  const auto talker = start_peer("155");
  const auto dock = start_peer("155", {"--ros-args", "-r", "__node:=dock1", "-r", "__ns:=/robot1"});
  ToolRun run = ros2_lite("155", {"node", "list"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "/robot1/dock1\n/talker\n");
  EXPECT_EQ(run.err, "");

  run = ros2_lite("155", {"node", "list", "-c"});
  EXPECT_EQ(run.out, "2\n");
  run = ros2_lite("155", {"node", "list", "-a"});
  EXPECT_TRUE(std::regex_match(run.out, std::regex("/_ros2_lite_[0-9]+\n/robot1/dock1\n/talker\n")))
      << run.out;
}

TEST(Ros2Lite, NodeInfoListsTheNodesEndpoints) {
  const auto talker = start_peer("156");
  ToolRun run = ros2_lite("156", {"node", "info", "/talker"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "/talker\n"
            "  Subscribers:\n"
            "    /cmd_in: geometry_msgs/msg/Twist\n"
            "    /parameter_events: rcl_interfaces/msg/ParameterEvent\n"
            "  Publishers:\n"
            "    /chatter: geometry_msgs/msg/Twist\n"
            "    /parameter_events: rcl_interfaces/msg/ParameterEvent\n"
            "    /rosout: rcl_interfaces/msg/Log\n"
            "  Service Servers:\n"
            "    /talker/describe_parameters: rcl_interfaces/srv/DescribeParameters\n"
            "    /talker/get_parameter_types: rcl_interfaces/srv/GetParameterTypes\n"
            "    /talker/get_parameters: rcl_interfaces/srv/GetParameters\n"
            "    /talker/list_parameters: rcl_interfaces/srv/ListParameters\n"
            "    /talker/set_parameters: rcl_interfaces/srv/SetParameters\n"
            "    /talker/set_parameters_atomically: rcl_interfaces/srv/SetParametersAtomically\n"
            "  Service Clients:\n"
            "\n"
            "  Action Servers:\n"
            "\n"
            "  Action Clients:\n"
            "\n");
  run = ros2_lite("156", {"node", "info", "/talker", "--include-hidden"});
  EXPECT_NE(run.out.find("    /_debug/state: geometry_msgs/msg/Twist\n"), std::string::npos)
      << run.out;

  // Compared verbatim: without the leading '/' it is another name.
  run = ros2_lite("156", {"node", "info", "talker"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Unable to find node 'talker'\n");
}

TEST(Ros2Lite, TopicInfoWithQosAndGid) {
  const auto talker = start_peer("157");
  ToolRun run = ros2_lite("157", {"topic", "info", "/chatter"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Type: geometry_msgs/msg/Twist\nPublisher count: 1\nSubscription count: 0\n");

  run = ros2_lite("157", {"topic", "info", "-v", "/cmd_in"});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::regex gid_line("\nGID: ((?:[0-9a-f]{2}\\.){16})((?:00\\.){7}00)\n");
  std::smatch gid;
  ASSERT_TRUE(std::regex_search(run.out, gid, gid_line)) << run.out;
  // A DDSI reader without key: entity kind 0x04.
  EXPECT_EQ(gid[1].str().substr(45), "04.");
  EXPECT_EQ(std::regex_replace(run.out, gid_line, "\nGID: *\n"),
            "Type: geometry_msgs/msg/Twist\n\n"
            "Publisher count: 0\n\n"
            "Subscription count: 1\n\n"
            "Node name: talker\n"
            "Node namespace: /\n"
            "Topic type: geometry_msgs/msg/Twist\n"
            "Endpoint type: SUBSCRIPTION\n"
            "GID: *\n"
            "QoS profile:\n"
            "  Reliability: BEST_EFFORT\n"
            "  History (Depth): KEEP_LAST (10)\n"
            "  Durability: VOLATILE\n"
            "  Lifespan: Infinite\n"
            "  Deadline: Infinite\n"
            "  Liveliness: AUTOMATIC\n"
            "  Liveliness lease duration: Infinite\n\n");

  run = ros2_lite("157", {"topic", "info", "-v", "/chatter"});
  EXPECT_NE(run.out.find("  History (Depth): KEEP_LAST (7)\n  Durability: TRANSIENT_LOCAL\n"
                         "  Lifespan: 3000000000 nanoseconds\n"),
            std::string::npos)
      << run.out;

  run = ros2_lite("157", {"topic", "info", "/nothing"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Unknown topic '/nothing'\n");
}

TEST(Ros2Lite, UsageErrorsExitTwoHelpExitsZero) {
  // argparse's texts, wrapped at 80 columns with the program's own name.
  ToolRun run = ros2_lite("158", {"node", "info"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "usage: ros2_lite node info [-h] [--spin-time SPIN_TIME] [-s] [--no-daemon]\n"
            "                           [--include-hidden]\n"
            "                           node_name\n"
            "ros2_lite node info: error: the following arguments are required: node_name\n");
  EXPECT_EQ(ros2_lite("158", {"node", "lst"}).status, 2);
  EXPECT_EQ(ros2_lite("158", {"topic", "info", "/x", "--spin-time", "soon"}).status, 2);
  // Arguments no level takes are reported by the top level.
  run = ros2_lite("158", {"node", "list", "extra"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("\nros2_lite: error: unrecognized arguments: extra\n"), std::string::npos)
      << run.err;
  run = ros2_lite("158", {"topic", "info", "-h"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("usage: ros2_lite topic info", 0), 0u);
  EXPECT_NE(run.out.find("\noptions:\n  -h, --help "), std::string::npos) << run.out;
  // A command without a verb, and none at all, print their help.
  run = ros2_lite("158", {"node"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Commands:\n  info  Output information about a node\n"), std::string::npos)
      << run.out;
  run = ros2_lite("158", {});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("usage: ros2_lite [-h] [--use-python-default-buffering]", 0), 0u);
}

}  // namespace

namespace {

// Goals to rclcpp_action's test peer serving wire_test_msgs/action/Sequence, the
// real tool's texts and exit statuses; on SIGINT the goal is canceled at the server.
// Each test's server has an action name of its own on the domain.
class SendGoal : public testing::Test {
 protected:
  void SetUp() override {
    if (access(ACTION_PEER, X_OK) != 0) {
      GTEST_SKIP() << "rclcpp_action's test peer is not installed: " << ACTION_PEER;
    }
  }

  void serve(const std::string& action) {
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{ACTION_PEER, "server", action}, on_domain("159"));
    ASSERT_TRUE(server_->wait_for_line_containing("ready", kTimeout)) << server_->stderr_text();
  }

  std::unique_ptr<ChildProcess> send_goal(std::vector<std::string> args) {
    args.insert(args.begin(), {ROS2_LITE, "action", "send_goal"});
    return std::make_unique<ChildProcess>(args, on_domain("159"));
  }

  static std::string without_goal_id(const std::string& text) {
    return std::regex_replace(text, std::regex("ID: [0-9a-f]{32}\n"), "ID: *\n");
  }

  std::unique_ptr<ChildProcess> server_;
};

TEST_F(SendGoal, ResultWithFeedbackAndRefusal) {
  serve("/results");
  auto tool =
      send_goal({"-f", "/results", "wire_test_msgs/action/Sequence", "{order: 2, plan: succeed}"});
  EXPECT_EQ(tool->wait_exit(kTimeout), 0) << tool->stderr_text();
  EXPECT_EQ(without_goal_id(tool->stdout_text()),
            "Waiting for an action server to become available...\n"
            "Sending goal:\n     order: 2\nplan: succeed\n\n"
            "Goal accepted with ID: *\n\n"
            "Feedback:\n    partial_sequence:\n- 1\n\n"
            "Feedback:\n    partial_sequence:\n- 1\n- 2\n\n"
            "Result:\n    sequence:\n- 1\n- 2\noutcome: succeeded\n\n"
            "Goal finished with status: SUCCEEDED\n");
  EXPECT_EQ(tool->stderr_text(), "");

  tool = send_goal({"results", "wire_test_msgs/Sequence", "plan: reject"});
  EXPECT_EQ(tool->wait_exit(kTimeout), 0) << tool->stderr_text();
  EXPECT_EQ(tool->stdout_text(),
            "Waiting for an action server to become available...\n"
            "Sending goal:\n     order: 0\nplan: reject\n\n"
            "Goal was rejected.\n");
}

TEST_F(SendGoal, InterruptCancelsTheRunningGoal) {
  serve("/interrupted");
  auto tool =
      send_goal({"/interrupted", "wire_test_msgs/action/Sequence", "{order: 1, plan: hold}"});
  ASSERT_TRUE(tool->wait_for_line_containing("Goal accepted", kTimeout)) << tool->stderr_text();
  ASSERT_TRUE(server_->wait_for_line_containing("executing", kTimeout));
  tool->send_signal(SIGINT);
  // As ros2cli, whose context SIGINT has shut down: the cancel goes, its answer is not read.
  EXPECT_EQ(tool->wait_exit(kTimeout), 1);
  EXPECT_NE(tool->stdout_text().find("\n\nCanceling goal...\n"), std::string::npos)
      << tool->stdout_text();
  EXPECT_EQ(tool->stderr_text(), "Exception while canceling goal: None\n");
  EXPECT_TRUE(server_->wait_for_line_containing("ended canceled hold", kTimeout))
      << server_->stdout_text();

  tool = send_goal({"/elsewhere", "wire_test_msgs/action/Sequence", "{}"});
  ASSERT_TRUE(tool->wait_for_line_containing("Waiting", kTimeout)) << tool->stderr_text();
  tool->send_signal(SIGINT);
  EXPECT_EQ(tool->wait_exit(kTimeout), 1);
  EXPECT_EQ(tool->stderr_text(),
            "Failed to check if action server is available: rcl node's context is invalid\n");
}

}  // namespace

namespace {

// The topic verbs between ros2_lite processes and the test peer: what one publishes
// the other prints, the graph as the real tool lists it, and bad input refused.
// Domains 41-44.
class TopicVerbs : public testing::Test {
 protected:
  std::unique_ptr<ChildProcess> start_tool(const std::string& domain,
                                           std::vector<std::string> args) {
    args.insert(args.begin(), ROS2_LITE);
    return std::make_unique<ChildProcess>(args, on_domain(domain));
  }
};

TEST_F(TopicVerbs, ListTypeAndFindHideUnderscoredNames) {
  const auto talker = start_peer("41");
  ToolRun run = ros2_lite("41", {"topic", "list", "-t"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "/chatter [geometry_msgs/msg/Twist]\n/cmd_in [geometry_msgs/msg/Twist]\n"
            "/parameter_events [rcl_interfaces/msg/ParameterEvent]\n"
            "/rosout [rcl_interfaces/msg/Log]\n");
  run = ros2_lite("41", {"topic", "list", "-c", "--include-hidden-topics"});
  EXPECT_EQ(run.out, "5\n");
  run = ros2_lite("41", {"topic", "find", "geometry_msgs/msg/Twist"});
  EXPECT_EQ(run.out, "/chatter\n/cmd_in\n");
  run = ros2_lite("41",
                  {"topic", "find", "--include-hidden-topics", "-c", "geometry_msgs/msg/Twist"});
  EXPECT_EQ(run.out, "3\n");
  run = ros2_lite("41", {"topic", "type", "/chatter"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "geometry_msgs/msg/Twist\n");
  // Not there: ros2cli's `return 1`, nothing printed.
  run = ros2_lite("41", {"topic", "type", "/_debug/state"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out + run.err, "");
}

// pub waits for the echo's subscription, the echo prints one message and ends.
TEST_F(TopicVerbs, PubOnceReachesEchoOnce) {
  auto pub = start_tool("42", {"topic", "pub", "--once", "/pair", "geometry_msgs/msg/Twist",
                               "{linear: {x: 0.25}, angular: {z: -1}}"});
  ASSERT_TRUE(pub->wait_for_line_containing("Waiting for at least 1", kTimeout));
  auto echo = start_tool("42", {"topic", "echo", "--once", "/pair", "geometry_msgs/msg/Twist"});
  EXPECT_EQ(pub->wait_exit(kTimeout), 0) << pub->stderr_text();
  EXPECT_EQ(pub->stdout_text(),
            "Waiting for at least 1 matching subscription(s)...\n"
            "publisher: beginning loop\n"
            "publishing #1: geometry_msgs.msg.Twist(linear=geometry_msgs.msg.Vector3(x=0.25, "
            "y=0.0, z=0.0), angular=geometry_msgs.msg.Vector3(x=0.0, y=0.0, z=-1.0))\n\n");
  EXPECT_EQ(echo->wait_exit(kTimeout), 0) << echo->stderr_text();
  EXPECT_EQ(
      echo->stdout_text(),
      "linear:\n  x: 0.25\n  y: 0.0\n  z: 0.0\nangular:\n  x: 0.0\n  y: 0.0\n  z: -1.0\n---\n");
}

// pub's endpoint is transient local: an echo that adapts its QoS to it gets the last
// message at once, although the next is 20 s away; a volatile one waits for it.
TEST_F(TopicVerbs, EchoTakesTheLatchedMessageOfATransientLocalPublisher) {
  auto pub = start_tool(
      "43", {"topic", "pub", "-r", "0.05", "/latched", "geometry_msgs/msg/Vector3", "{x: 1.5}"});
  ASSERT_TRUE(pub->wait_for_line_containing("publishing #1", kTimeout)) << pub->stderr_text();
  auto echo = start_tool("43", {"topic", "echo", "--once", "--field", "x", "/latched"});
  EXPECT_EQ(echo->wait_exit(std::chrono::milliseconds(10000)), 0) << echo->stderr_text();
  EXPECT_EQ(echo->stdout_text(), "1.5\n---\n");
  auto volatile_echo =
      start_tool("43", {"topic", "echo", "--once", "--qos-durability", "volatile", "/latched"});
  EXPECT_FALSE(volatile_echo->wait_exit(std::chrono::milliseconds(3000)));
  volatile_echo->send_signal(SIGINT);
  // ros2cli's exit status for a KeyboardInterrupt: signal.SIGINT.
  EXPECT_EQ(volatile_echo->wait_exit(kTimeout), 2);
  EXPECT_EQ(volatile_echo->stdout_text(), "");
  pub->send_signal(SIGINT);
  EXPECT_EQ(pub->wait_exit(kTimeout), 2);
}

TEST_F(TopicVerbs, BadInputIsRefusedWithRos2topicsTexts) {
  const auto talker = start_peer("44");
  // /chatter with a second type beside the peer's Twist.
  auto other = start_tool("44", {"topic", "pub", "-r", "5", "/chatter", "geometry_msgs/Vector3"});
  ASSERT_TRUE(other->wait_for_line_containing("publishing #1", kTimeout)) << other->stderr_text();
  const std::string two_types =
      "Cannot echo topic '/chatter', as it contains more than one type: "
      "[geometry_msgs/msg/Twist, geometry_msgs/msg/Vector3]\n";
  ToolRun run = ros2_lite("44", {"topic", "echo", "/chatter"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, two_types);
  run = ros2_lite("44", {"topic", "hz", "/chatter"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, two_types);
  // Echo names the type it is given, whatever the graph shows.
  auto typed =
      start_tool("44", {"topic", "echo", "--once", "/chatter", "geometry_msgs/msg/Vector3"});
  EXPECT_EQ(typed->wait_exit(kTimeout), 0);
  EXPECT_EQ(typed->stdout_text(), "x: 0.0\ny: 0.0\nz: 0.0\n---\n");

  for (const auto& type :
       {"geometry_msgs/msg/Nope", "geometry_msgs/srv/Twist", "Twist", "a/b/c/d"}) {
    run = ros2_lite("44", {"topic", "pub", "--once", "/x", type});
    EXPECT_EQ(run.status, 1) << type;
    EXPECT_EQ(run.err, "The passed message type is invalid\n") << type;
    run = ros2_lite("44", {"topic", "echo", "/x", type});
    EXPECT_EQ(run.err, "The passed message type is invalid\n") << type;
  }
  // YAML that does not fit the type: the error before anything is published.
  const std::vector<std::pair<std::string, std::string>> misfits{
      {"{linear: 5}", "Value '5' is expected to be a dictionary but is a int"},
      {"{linear: {x: abc}}", "could not convert string to float: 'abc'"},
      {"{nope: 1}", "'Twist' object has no attribute 'nope'"}};
  for (const auto& [values, error] : misfits) {
    run = ros2_lite("44",
                    {"topic", "pub", "-w", "0", "--once", "/x", "geometry_msgs/msg/Twist", values});
    EXPECT_EQ(run.status, 1) << values;
    EXPECT_EQ(run.out, "") << values;
    EXPECT_EQ(run.err, "Failed to populate field: " + error + "\n") << values;
  }
  run = ros2_lite("44", {"topic", "pub", "--once", "/x", "geometry_msgs/msg/Twist", "[1, 2]"});
  EXPECT_EQ(run.err, "The passed value needs to be a dictionary in YAML format\n");
  run = ros2_lite(
      "44", {"topic", "pub", "--once", "/x", "geometry_msgs/msg/Twist", "{linear:\n {x: 1}}"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Failed to read the values as YAML: {linear:\n {x: 1}}\n");
  // argparse's checks of the numbers.
  run = ros2_lite("44", {"topic", "pub", "-r", "0", "/x", "geometry_msgs/msg/Twist"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("error: argument -r/--rate: invalid positive_float value: '0'\n"),
            std::string::npos)
      << run.err;
  run = ros2_lite("44", {"topic", "pub", "-1", "-t", "2", "/x", "geometry_msgs/msg/Twist"});
  EXPECT_NE(run.err.find("error: argument -t/--times: not allowed with argument -1/--once\n"),
            std::string::npos)
      << run.err;
  run = ros2_lite("44", {"topic", "echo", "/x", "--qos-reliability", "sure"});
  EXPECT_NE(run.err.find("error: argument --qos-reliability: invalid choice: 'sure' (choose from "
                         "'system_default', 'reliable', 'best_effort', 'unknown')\n"),
            std::string::npos)
      << run.err;
  run = ros2_lite("44", {"topic", "hz", "/x", "--window", "0"});
  EXPECT_NE(run.err.find("error: argument --window/-w: value must be a positive integer\n"),
            std::string::npos)
      << run.err;
  other->send_signal(SIGINT);
  EXPECT_EQ(other->wait_exit(kTimeout), 2);
}

// hz and bw print once a second until SIGINT, which ends them with status 2.
TEST_F(TopicVerbs, HzAndBwMeasureUntilInterrupted) {
  auto pub = start_tool(
      "41", {"topic", "pub", "-r", "20", "-p", "1000", "/rate", "geometry_msgs/msg/Vector3"});
  ASSERT_TRUE(pub->wait_for_line_containing("beginning loop", kTimeout)) << pub->stderr_text();
  auto hz = start_tool("41", {"topic", "hz", "/rate", "--window", "15"});
  auto bw = start_tool("41", {"topic", "bw", "/rate"});
  ASSERT_TRUE(hz->wait_for_line_count(4, kTimeout)) << hz->stderr_text();
  ASSERT_TRUE(bw->wait_for_line_count(3, kTimeout)) << bw->stderr_text();
  for (auto* tool : {hz.get(), bw.get(), pub.get()}) {
    tool->send_signal(SIGINT);
    EXPECT_EQ(tool->wait_exit(kTimeout), 2);
  }
  const std::regex rate_line("average rate: ([0-9]+\\.[0-9]{3})");
  std::smatch rate;
  const std::string hz_text = hz->stdout_text();
  ASSERT_TRUE(std::regex_search(hz_text, rate, rate_line)) << hz_text;
  EXPECT_NEAR(std::stod(rate[1]), 20.0, 2.0) << hz_text;
  EXPECT_TRUE(std::regex_search(
      hz_text, std::regex("\n\tmin: 0\\.[0-9]{3}s max: 0\\.[0-9]{3}s std dev: 0\\.[0-9]{5}s "
                          "window: 15\n")))
      << hz_text;
  // A Vector3 is 4 bytes of header and three doubles.
  EXPECT_TRUE(std::regex_search(bw->stdout_text(),
                                std::regex("^Subscribed to \\[/rate\\]\n[0-9]+ B/s from [0-9]+ "
                                           "messages\n\tMessage size mean: 28 B min: 28 B max: "
                                           "28 B\n")))
      << bw->stdout_text();
}

}  // namespace
