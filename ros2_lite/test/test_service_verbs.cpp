// ros2_lite service and interface verbs against the graph peer over DDS on
// loopback: what ros2cli prints, its exit statuses, and bounded waits where
// ros2cli waits for ever. Domains 90-94.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "test_support/child_process.hpp"
#include "tool_run.hpp"

namespace {

using std::chrono::milliseconds;
using test_support::ChildProcess;

using ros2_lite_test::kTimeout;
using ros2_lite_test::on_domain;
using ros2_lite_test::ToolRun;

ToolRun ros2_lite(const std::string& domain_id, std::vector<std::string> args,
                  milliseconds timeout = kTimeout) {
  return ros2_lite_test::run_tool(domain_id, std::move(args), timeout);
}

std::unique_ptr<ChildProcess> start_peer(const std::string& domain_id) {
  auto peer = std::make_unique<ChildProcess>(std::vector<std::string>{TEST_PEER, "services"},
                                             on_domain(domain_id));
  EXPECT_TRUE(peer->wait_for_line_containing("ready", kTimeout)) << peer->stderr_text();
  return peer;
}

// The waiting line shows only when discovery had not matched the service yet.
std::string without_waiting(const std::string& out) {
  const std::string waiting = "waiting for service to become available...\n";
  return out.rfind(waiting, 0) == 0 ? out.substr(waiting.size()) : out;
}

TEST(ServiceCall, ParameterServiceAndEchoAnswer) {
  const auto peer = start_peer("90");
  ToolRun run = ros2_lite("90", {"service", "call", "/talker/get_parameters",
                                 "rcl_interfaces/srv/GetParameters", "{names: [use_sim_time]}"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(without_waiting(run.out),
            "requester: making request: "
            "rcl_interfaces.srv.GetParameters_Request(names=['use_sim_time'])\n\n"
            "response:\n"
            "rcl_interfaces.srv.GetParameters_Response(values=[rcl_interfaces.msg.ParameterValue("
            "type=1, bool_value=False, integer_value=0, double_value=0.0, string_value='', "
            "byte_array_value=[], bool_array_value=[], integer_array_value=[], "
            "double_array_value=[], string_array_value=[])])\n\n");
  EXPECT_EQ(run.err, "");

  // "pkg/Type" is a service of the package; strings quoted as Python quotes them.
  run = ros2_lite("90", {"service", "call", "echo", "wire_test_msgs/Echo",
                         "{id: '7', data: [1, 255], text: \"it's\"}"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(without_waiting(run.out),
            "requester: making request: wire_test_msgs.srv.Echo_Request(id=7, data=[1, 255], "
            "text=\"it's\")\n\n"
            "response:\n"
            "wire_test_msgs.srv.Echo_Response(id=7, data=[1, 255], text=\"it's\", "
            "server='talker')\n\n");

  // Repeated at a rate until interrupted: a second call within the bound.
  ChildProcess repeating(
      {ROS2_LITE, "service", "call", "/echo", "wire_test_msgs/srv/Echo", "-r", "20"},
      on_domain("90"));
  // Two answers, then Ctrl-C.
  const auto answers = [&repeating] {
    const std::string out = repeating.stdout_text();
    const auto first = out.find("response:\n");
    return first != std::string::npos && out.find("response:\n", first + 1) != std::string::npos;
  };
  EXPECT_TRUE(test_support::wait_until(answers, kTimeout)) << repeating.stdout_text();
  repeating.send_signal(SIGINT);
  EXPECT_EQ(repeating.wait_exit(kTimeout), 2);
  EXPECT_EQ(repeating.stderr_text(), "");
}

TEST(ServiceCall, BadInputIsOneLineAndNoCall) {
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } cases[] = {
      {{"/x", "nope/srv/Nothing"}, 1, "The passed service type is invalid\n"},
      {{"/x", "rcl_interfaces"}, 1, "The passed service type is invalid\n"},
      {{"/x", "rcl_interfaces/srv/"}, 1, "The passed service type is invalid\n"},
      {{"/x", "rcl_interfaces/msg/ParameterValue"}, 1, "The passed type is not a service\n"},
      {{"/x", "rcl_interfaces/srv/GetParameters", "{nope: 1}"},
       1,
       "Failed to populate field: 'GetParameters_Request' object has no attribute 'nope'\n"},
      {{"/x", "rcl_interfaces/srv/GetParameters", "{names: 5}"},
       1,
       "Failed to populate field: Value '5' is expected to be a dictionary but is a int\n"},
      {{"/x", "wire_test_msgs/srv/Echo", "{id: 99999999999}"},
       1,
       "Failed to populate field: The 'id' field must be an integer in [-2147483648, "
       "2147483647]\n"},
      {{"/x", "rcl_interfaces/srv/GetParameters", "{names: [a"},
       1,
       "Failed to read the request values as YAML: {names: [a\n"},
      {{"/x", "rcl_interfaces/srv/GetParameters", "-r", "0"},
       1,
       "rate must be greater than zero\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"service", "call"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ToolRun run = ros2_lite("91", args);
    EXPECT_EQ(run.status, c.status) << c.args[1];
    EXPECT_EQ(run.err, c.err) << c.args[1];
    EXPECT_EQ(run.out, "") << c.args[1];
  }
  const ToolRun run =
      ros2_lite("91", {"service", "call", "/x", "wire_test_msgs/srv/Echo", "-r", "x"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("error: argument -r/--rate: invalid float value: 'x'\n"),
            std::string::npos)
      << run.err;
}

// ros2cli waits for ever; ros2_lite gives up with one line and the status ros2cli
// ends with when interrupted (2).
TEST(ServiceCall, WaitsAreBounded) {
  const auto peer = start_peer("92");
  const auto start = std::chrono::steady_clock::now();
  ToolRun run = ros2_lite("92", {"service", "call", "/nothing", "wire_test_msgs/srv/Echo"},
                          milliseconds(30000));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "waiting for service to become available...\n");
  EXPECT_EQ(run.err, "Service '/nothing' did not become available within 5 s\n");
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::seconds(5));
  EXPECT_LT(waited, std::chrono::seconds(15));

  run = ros2_lite("92", {"service", "call", "/stall", "wire_test_msgs/srv/Echo"},
                  milliseconds(30000));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(without_waiting(run.out),
            "requester: making request: wire_test_msgs.srv.Echo_Request(id=0, data=[], "
            "text='')\n\n");
  EXPECT_EQ(run.err, "Service '/stall' did not answer within 10 s\n");

  // Interrupted while waiting: silent, status 2, as ros2cli after KeyboardInterrupt.
  ChildProcess waiting({ROS2_LITE, "service", "call", "/nothing", "wire_test_msgs/srv/Echo"},
                       on_domain("92"));
  ASSERT_TRUE(waiting.wait_for_line_containing("waiting for service", kTimeout));
  waiting.send_signal(SIGINT);
  EXPECT_EQ(waiting.wait_exit(kTimeout), 2);
  EXPECT_EQ(waiting.stderr_text(), "");
}

TEST(ServiceGraph, ListTypeAndFind) {
  const auto peer = start_peer("93");
  ToolRun run = ros2_lite("93", {"service", "list", "-t"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("/echo [wire_test_msgs/srv/Echo]\n/stall [wire_test_msgs/srv/Echo]\n"
                          "/talker/describe_parameters [rcl_interfaces/srv/DescribeParameters]\n",
                          0),
            0u)
      << run.out;
  EXPECT_EQ(ros2_lite("93", {"service", "list", "-c"}).out, "8\n");

  run = ros2_lite("93", {"service", "type", "/stall"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "wire_test_msgs/srv/Echo\n");
  run = ros2_lite("93", {"service", "type", "/talker/nothing"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out + run.err, "");

  EXPECT_EQ(ros2_lite("93", {"service", "find", "wire_test_msgs/srv/Echo"}).out, "/echo\n/stall\n");
  EXPECT_EQ(ros2_lite("93", {"service", "find", "-c", "rcl_interfaces/srv/GetParameters"}).out,
            "1\n");
  // The type must match whole.
  EXPECT_EQ(ros2_lite("93", {"service", "find", "wire_test_msgs/srv/Ech"}).out, "");
}

TEST(Interface, ShowFollowsNestedTypesOfTheIndex) {
  ToolRun run = ros2_lite("94", {"interface", "show", "--no-comments", "wire_test_msgs/srv/Echo"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "int32 id\nuint8[] data\nstring text\n---\nint32 id\nuint8[] data\nstring text\n"
            "string server\n");
  run = ros2_lite("94", {"interface", "show", "wire_test_msgs/msg/AllKinds"});
  EXPECT_EQ(run.status, 0) << run.err;
  // Each Nested field is followed by Nested's definition one tab in, without its comments.
  EXPECT_NE(run.out.find("Nested[2] nested_array\n\tuint8 tag\n\tfloat64 value\n\tstring label\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.rfind("# One field of every kind a .msg can declare.\n", 0), 0u);
  run = ros2_lite("94", {"interface", "show", "--all-comments", "wire_test_msgs/msg/AllKinds"});
  EXPECT_NE(run.out.find("Nested[2] nested_array\n\t# An element of AllKinds"), std::string::npos)
      << run.out;

  run = ros2_lite("94", {"interface", "show", "wire_test_msgs/msg/Nope"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(std::regex_match(
      run.err,
      std::regex("Could not find the interface '/.*/share/wire_test_msgs/msg/Nope.idl'\n")))
      << run.err;
  EXPECT_EQ(ros2_lite("94", {"interface", "show", "nope/msg/X"}).err, "Unknown package 'nope'\n");
  EXPECT_EQ(ros2_lite("94", {"interface", "show", "wire_test_msgs/Echo"}).err,
            "Invalid name 'wire_test_msgs/Echo'. Expected three parts separated by '/'\n");
  EXPECT_EQ(ros2_lite("94", {"interface", "show", "--all-comments", "--no-comments", "x"}).status,
            2);

  run = ros2_lite("94", {"interface", "package", "wire_test_msgs"});
  EXPECT_EQ(run.out,
            "wire_test_msgs/action/Sequence\nwire_test_msgs/msg/AllKinds\n"
            "wire_test_msgs/msg/Empty\nwire_test_msgs/msg/Nested\nwire_test_msgs/srv/Echo\n");
  run = ros2_lite("94", {"interface", "proto", "wire_test_msgs/srv/Echo"});
  EXPECT_EQ(run.out, "\"id: 0\ndata: []\ntext: ''\n\"\n");
  // Where Python's import fails: the last line of ros2's traceback.
  const std::pair<const char*, const char*> refused[] = {
      {"nope/msg/X", "ModuleNotFoundError: No module named 'nope'\n"},
      {"wire_test_msgs/Echo", "AttributeError: module 'wire_test_msgs' has no attribute 'Echo'\n"},
      {"wire_test_msgs/msg/Echo",
       "AttributeError: module 'wire_test_msgs.msg' has no attribute 'Echo'\n"},
      {"wire_test_msgs/srv/Echo/x",
       "ModuleNotFoundError: No module named 'wire_test_msgs.srv.Echo'\n"},
      {"std_msgs/srv/X", "ModuleNotFoundError: No module named 'std_msgs.srv'\n"},
  };
  for (const auto& [type, err] : refused) {
    run = ros2_lite("94", {"interface", "proto", type});
    EXPECT_EQ(run.status, 1) << type;
    EXPECT_EQ(run.err, err) << type;
  }
  // The two comment options are one group, as argparse shows it.
  EXPECT_EQ(
      ros2_lite("94", {"interface", "show", "-h"})
          .out.rfind("usage: ros2_lite interface show [-h] [--all-comments | --no-comments] type\n",
                     0),
      0u);
}

TEST(CommandLine, UnknownWordsNamedWithTheValidOnes) {
  ToolRun run = ros2_lite("94", {"servce", "list"});
  EXPECT_EQ(run.status, 2);
  const std::string last_line = run.err.substr(run.err.rfind('\n', run.err.size() - 2) + 1);
  EXPECT_EQ(last_line,
            "ros2_lite: error: 'servce' is not a command of 'ros2_lite'; choose one of: action, "
            "interface, node, param, security, service, topic\n");
  run = ros2_lite("94", {"service", "lst"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("\nros2_lite service: error: 'lst' is not a verb of 'ros2_lite "
                         "service'; choose one of: call, find, list, type\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.out, "");
}

// -s and --no-daemon are taken, as scripts written for ros2 pass them, and their help
// says what ros2_lite does instead.
TEST(CommandLine, SimTimeAndDaemonOptionsSayWhatTheyDo) {
  const auto peer = start_peer("94");
  const ToolRun run = ros2_lite("94", {"service", "list", "-s", "--no-daemon", "-c"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "8\n");
  // The help's words, whatever the wrapping.
  const std::string text =
      std::regex_replace(ros2_lite("94", {"service", "list", "-h"}).out, std::regex("\\s+"), " ");
  EXPECT_NE(text.find("ros2_lite has no ROS time"), std::string::npos) << text;
  EXPECT_NE(text.find("ros2_lite has no daemon"), std::string::npos) << text;
  EXPECT_EQ(text.find("Enable ROS simulation time"), std::string::npos) << text;
}

}  // namespace
