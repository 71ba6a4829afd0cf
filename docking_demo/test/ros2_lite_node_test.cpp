// The real align_controller as ros2_lite shows it: the graph verbs and the
// parameter verbs, with their outputs and exit codes.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "process_env.hpp"

namespace {

using namespace std::chrono_literals;
using test_support::ChildProcess;
using tools_test::dds_env;

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

// A generous spin time: the node is already up, discovery is the only wait.
ToolRun ros2_lite(int domain, std::vector<std::string> args) {
  args.insert(args.begin(), ROS2_LITE);
  args.insert(args.begin() + 3, {"--spin-time", "2"});
  ChildProcess tool(args, dds_env(domain));
  const auto status = tool.wait_exit(40s);
  return {status.value_or(-1), tool.stdout_text(), tool.stderr_text()};
}

class Ros2LiteNode : public testing::Test {
 protected:
  void start(int domain, std::vector<std::string> args = {}) {
    domain_ = domain;
    args.insert(args.begin(), ALIGN_CONTROLLER);
    node_ = std::make_unique<ChildProcess>(args, dds_env(domain));
  }
  void TearDown() override {
    if (node_) {
      node_->send_signal(SIGTERM);
      EXPECT_EQ(node_->wait_exit(10s), 0);
    }
  }
  ToolRun run(std::vector<std::string> args) { return ros2_lite(domain_, std::move(args)); }

  int domain_ = 0;
  std::unique_ptr<ChildProcess> node_;
};

TEST_F(Ros2LiteNode, NodeListAndInfoShowAnRclcppNode) {
  start(174);
  ToolRun list = run({"node", "list"});
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out, "/align_controller\n");

  ToolRun info = run({"node", "info", "/align_controller"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out,
            "/align_controller\n"
            "  Subscribers:\n"
            "    /align_request: quorvane_protocol/msg/Align\n"
            "    /diff_bot/odom: nav_msgs/msg/Odometry\n"
            "    /docking_pose: geometry_msgs/msg/PoseStamped\n"
            "    /parameter_events: rcl_interfaces/msg/ParameterEvent\n"
            "  Publishers:\n"
            "    /align_result: quorvane_protocol/msg/Align\n"
            "    /cmd_vel: geometry_msgs/msg/Twist\n"
            "    /parameter_events: rcl_interfaces/msg/ParameterEvent\n"
            "    /rosout: rcl_interfaces/msg/Log\n"
            "  Service Servers:\n"
            "    /align_controller/describe_parameters: rcl_interfaces/srv/DescribeParameters\n"
            "    /align_controller/get_parameter_types: rcl_interfaces/srv/GetParameterTypes\n"
            "    /align_controller/get_parameters: rcl_interfaces/srv/GetParameters\n"
            "    /align_controller/list_parameters: rcl_interfaces/srv/ListParameters\n"
            "    /align_controller/set_parameters: rcl_interfaces/srv/SetParameters\n"
            "    /align_controller/set_parameters_atomically: "
            "rcl_interfaces/srv/SetParametersAtomically\n"
            "  Service Clients:\n\n"
            "  Action Servers:\n\n"
            "  Action Clients:\n\n");

  ToolRun topic = run({"topic", "info", "-v", "/cmd_vel"});
  EXPECT_EQ(topic.status, 0) << topic.err;
  for (const char* line :
       {"Type: geometry_msgs/msg/Twist\n\nPublisher count: 1\n\nNode name: align_controller\n",
        "Node namespace: /\n", "Endpoint type: PUBLISHER\n", "History (Depth): KEEP_LAST (10)\n"}) {
    EXPECT_NE(topic.out.find(line), std::string::npos) << line << "\n" << topic.out;
  }
}

TEST_F(Ros2LiteNode, RemappedNameAndUnknownNodes) {
  start(175, {"--ros-args", "-r", "__node:=dock1", "-r", "__ns:=/robot1"});
  EXPECT_EQ(run({"node", "list"}).out, "/robot1/dock1\n");
  ToolRun get = run({"param", "get", "/robot1/dock1", "trigger_mode"});
  EXPECT_EQ(get.status, 0) << get.err;
  EXPECT_EQ(get.out, "Double value is: 3.0\n");
  ToolRun missing = run({"param", "get", "/align_controller", "trigger_mode"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "Node not found\n");
  ToolRun info = run({"node", "info", "align_controller"});
  EXPECT_EQ(info.status, 1);
  EXPECT_EQ(info.err, "Unable to find node 'align_controller'\n");
  ToolRun unset = run({"param", "get", "/robot1/dock1", "nope"});
  EXPECT_EQ(unset.status, 1);
  EXPECT_EQ(unset.err, "Parameter not set\n");
}

TEST_F(Ros2LiteNode, ParamVerbsReadAndSetLikeTheRos2Command) {
  start(176);
  ToolRun list = run({"param", "list", "/align_controller"});
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out,
            "  distance_wheel_to_feature\n  kd_angle_\n  kd_u_\n  kd_w_\n  ki_angle_\n  ki_u_\n"
            "  ki_w_\n  kp_angle_\n  kp_u_\n  kp_w_\n  lower_angle_\n  lower_u_\n  lower_w_\n"
            "  qos_overrides./parameter_events.publisher.depth\n"
            "  qos_overrides./parameter_events.publisher.durability\n"
            "  qos_overrides./parameter_events.publisher.history\n"
            "  qos_overrides./parameter_events.publisher.reliability\n"
            "  target_angle_\n  target_u_\n  target_w_\n  thetaMaxerror_threshold\n  trigger_mode\n"
            "  upper_angle_\n  upper_u_\n  upper_w_\n  use_sim_time\n  yMaxerror_threshold\n");
  EXPECT_EQ(run({"param", "get", "/align_controller", "ki_angle_"}).out, "Double value is: 0.04\n");

  ToolRun set = run({"param", "set", "/align_controller", "use_sim_time", "false"});
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.out, "Set parameter successful\n");
  // A failed set is reported on standard error, with exit status 0 as ros2 param set does.
  ToolRun wrong = run({"param", "set", "/align_controller", "use_sim_time", "4"});
  EXPECT_EQ(wrong.status, 0);
  EXPECT_EQ(wrong.out, "");
  EXPECT_EQ(wrong.err,
            "Setting parameter failed: Wrong parameter type, parameter {use_sim_time} is of type "
            "{bool}, setting it to {integer} is not allowed.\n");
  // The node's own parameters are read once: a set is refused, whatever the value.
  for (const char* value : {"2.0", "4", ".nan"}) {
    ToolRun refused = run({"param", "set", "/align_controller", "kp_w_", value});
    EXPECT_EQ(refused.status, 0);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err,
              "Setting parameter failed: parameter 'kp_w_' cannot be set because it is "
              "read-only\n");
  }
  EXPECT_EQ(run({"param", "get", "/align_controller", "kp_w_"}).out, "Double value is: 1.0\n");
  ToolRun read_only = run({"param", "set", "/align_controller",
                           "qos_overrides./parameter_events.publisher.depth", "10"});
  EXPECT_EQ(read_only.err,
            "Setting parameter failed: parameter "
            "'qos_overrides./parameter_events.publisher.depth' cannot be set because it is "
            "read-only\n");

  ToolRun describe = run({"param", "describe", "/align_controller", "trigger_mode",
                          "qos_overrides./parameter_events.publisher.depth"});
  EXPECT_EQ(describe.out,
            "Parameter name: trigger_mode\n  Type: double\n"
            "  Description: below 4.0 a request on /align_request starts a docking; 4.0 or "
            "above (or NaN) runs one docking by itself about 5 s after start (no unit)\n"
            "  Constraints:\n    Read only: true\n"
            "Parameter name: qos_overrides./parameter_events.publisher.depth\n"
            "  Type: integer\n"
            "  Description: qos policy {depth} for publisher {/parameter_events}\n"
            "  Constraints:\n    Read only: true\n");

  ToolRun dump = run({"param", "dump", "/align_controller"});
  EXPECT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(dump.out,
            "/align_controller:\n"
            "  ros__parameters:\n"
            "    distance_wheel_to_feature: 0.25\n    kd_angle_: 0.0\n    kd_u_: 0.0\n"
            "    kd_w_: 0.0\n    ki_angle_: 0.04\n    ki_u_: 0.0\n    ki_w_: 0.0\n"
            "    kp_angle_: 0.2\n    kp_u_: 3.0\n    kp_w_: 1.0\n    lower_angle_: -0.2\n"
            "    lower_u_: -0.1\n    lower_w_: 0.0\n"
            "    qos_overrides:\n"
            "      /parameter_events:\n"
            "        publisher:\n"
            "          depth: 1000\n"
            "          durability: volatile\n"
            "          history: keep_last\n"
            "          reliability: reliable\n"
            "    target_angle_: 0.0\n    target_u_: 0.0\n    target_w_: 0.0\n"
            "    thetaMaxerror_threshold: 0.5\n    trigger_mode: 3.0\n    upper_angle_: 0.2\n"
            "    upper_u_: 0.1\n    upper_w_: 0.1\n    use_sim_time: false\n"
            "    yMaxerror_threshold: 0.8\n\n");
}

}  // namespace
