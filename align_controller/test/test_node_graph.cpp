// The running node as the ROS 2 graph and its parameter services show it: the
// endpoints of an rclcpp node, its parameters, and calls answered by its loop.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "docking_peer/docking_peer.hpp"
#include "rcl_interfaces/msg/parameter_event.hpp"
#include "rcl_interfaces/srv/describe_parameters.hpp"
#include "rcl_interfaces/srv/get_parameters.hpp"
#include "rcl_interfaces/srv/list_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters.hpp"

namespace {

using rcl_interfaces::msg::ParameterEvent;
using rcl_interfaces::srv::DescribeParameters;
using rcl_interfaces::srv::GetParameters;
using rcl_interfaces::srv::ListParameters;
using rcl_interfaces::srv::SetParameters;
using Clock = std::chrono::steady_clock;

const std::vector<std::pair<std::string, double>> kDefaults = {{"kp_u_", 3.0},
                                                               {"ki_u_", 0.0},
                                                               {"kd_u_", 0.0},
                                                               {"target_u_", 0.0},
                                                               {"upper_u_", 0.1},
                                                               {"lower_u_", -0.1},
                                                               {"kp_w_", 1.0},
                                                               {"ki_w_", 0.0},
                                                               {"kd_w_", 0.0},
                                                               {"target_w_", 0.0},
                                                               {"upper_w_", 0.1},
                                                               {"lower_w_", 0.0},
                                                               {"kp_angle_", 0.2},
                                                               {"ki_angle_", 0.04},
                                                               {"kd_angle_", 0.0},
                                                               {"target_angle_", 0.0},
                                                               {"upper_angle_", 0.2},
                                                               {"lower_angle_", -0.2},
                                                               {"yMaxerror_threshold", 0.8},
                                                               {"thetaMaxerror_threshold", 0.5},
                                                               {"distance_wheel_to_feature", 0.25},
                                                               {"trigger_mode", 3.0}};

// A second node in the test process that looks at the graph and calls the
// node's services; the docking peer keeps its own spinning.
class Probe {
 public:
  Probe() : node_(std::make_shared<rclcpp::Node>("probe")) {}

  rclcpp::Node& node() { return *node_; }
  void spin_some() { rclcpp::spin_some(node_); }

  // The (topic, type) pairs whose endpoints of `kind` belong to node ns/name.
  std::set<std::pair<std::string, std::string>> topics_of(const std::string& name,
                                                          const std::string& ns, bool publishers) {
    std::set<std::pair<std::string, std::string>> found;
    for (const auto& [topic, types] : node_->get_topic_names_and_types()) {
      const auto infos = publishers ? node_->get_publishers_info_by_topic(topic)
                                    : node_->get_subscriptions_info_by_topic(topic);
      for (const auto& info : infos) {
        if (info.node_name() == name && info.node_namespace() == ns) {
          found.emplace(topic, info.topic_type());
        }
      }
    }
    return found;
  }

  template <class ServiceT>
  typename rclcpp::Client<ServiceT>::SharedPtr client(const std::string& name) {
    auto client = node_->create_client<ServiceT>(name);
    EXPECT_TRUE(client->wait_for_service(10s)) << name;
    return client;
  }

  // Sends the request and spins until the answer; returns it and how long it took.
  template <class ServiceT>
  std::pair<typename ServiceT::Response::SharedPtr, Clock::duration> call(
      const typename rclcpp::Client<ServiceT>::SharedPtr& client,
      const typename ServiceT::Request& request) {
    const auto start = Clock::now();
    auto future =
        client->async_send_request(std::make_shared<typename ServiceT::Request>(request)).future;
    EXPECT_EQ(rclcpp::spin_until_future_complete(node_, future, 15s),
              rclcpp::FutureReturnCode::SUCCESS);
    return {future.get(), Clock::now() - start};
  }

  // The double values of the named parameters, in the order asked.
  std::vector<double> doubles(const rclcpp::Client<GetParameters>::SharedPtr& get,
                              const std::vector<std::string>& names) {
    GetParameters::Request request;
    request.names = names;
    const auto response = call<GetParameters>(get, request).first;
    std::vector<double> found;
    for (const auto& value : response->values) found.push_back(value.double_value);
    return found;
  }

 private:
  rclcpp::Node::SharedPtr node_;
};

rcl_interfaces::msg::Parameter parameter_message(const std::string& name, uint8_t type,
                                                 double value) {
  rcl_interfaces::msg::Parameter parameter;
  parameter.name = name;
  parameter.value.type = type;
  parameter.value.double_value = value;
  parameter.value.integer_value = static_cast<int64_t>(value);
  return parameter;
}

// The installed parameter file with kp_w_ changed, as a robot's own copy would be.
class EditedParamsFile {
 public:
  EditedParamsFile() {
    std::ifstream shipped(PARAMS_FILE);
    std::stringstream text;
    text << shipped.rdbuf();
    std::string content = text.str();
    const std::string from = "kp_w_: 1.0\n";
    const size_t at = content.find(from);
    EXPECT_NE(at, std::string::npos) << PARAMS_FILE;
    if (at != std::string::npos) content.replace(at, from.size(), "kp_w_: 1.5\n");
    path_ = (std::filesystem::temp_directory_path() /
             ("align_controller_graph_" + std::to_string(getpid()) + ".yaml"))
                .string();
    std::ofstream(path_) << content;
  }
  ~EditedParamsFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(NodeGraph, SeenAsAnRclcppNodeUnderItsRemappedName) {
  DockingPeer peer(172);
  // The shipped file's key must reach the node whatever its namespace and name.
  EditedParamsFile params;
  peer.start_node(
      {"--ros-args", "-r", "__node:=dock1", "-r", "__ns:=/robot1", "--params-file", params.path()});
  Probe probe;
  using Topics = std::set<std::pair<std::string, std::string>>;
  const Topics subscriptions = {{"/diff_bot/odom", "nav_msgs/msg/Odometry"},
                                {"/docking_pose", "geometry_msgs/msg/PoseStamped"},
                                {"/align_request", "quorvane_protocol/msg/Align"},
                                {"/parameter_events", "rcl_interfaces/msg/ParameterEvent"}};
  const Topics publications = {{"/align_result", "quorvane_protocol/msg/Align"},
                               {"/cmd_vel", "geometry_msgs/msg/Twist"},
                               {"/parameter_events", "rcl_interfaces/msg/ParameterEvent"},
                               {"/rosout", "rcl_interfaces/msg/Log"}};
  std::map<std::string, std::vector<std::string>> services;
  ASSERT_TRUE(peer.spin_until(
      [&] {
        // The by-node query throws for a node not yet discovered.
        const auto names = probe.node().get_node_names();
        if (std::count(names.begin(), names.end(), "/robot1/dock1") != 1) return false;
        services = probe.node().get_service_names_and_types_by_node("dock1", "/robot1");
        return services.size() == 6 &&
               probe.topics_of("dock1", "/robot1", false) == subscriptions &&
               probe.topics_of("dock1", "/robot1", true) == publications;
      },
      10s))
      << "subscriptions " << probe.topics_of("dock1", "/robot1", false).size() << ", publications "
      << probe.topics_of("dock1", "/robot1", true).size() << ", services " << services.size();
  for (const char* service : {"describe_parameters", "get_parameter_types", "get_parameters",
                              "list_parameters", "set_parameters", "set_parameters_atomically"}) {
    EXPECT_EQ(services.count(std::string("/robot1/dock1/") + service), 1u) << service;
  }
  EXPECT_EQ(services.at("/robot1/dock1/set_parameters_atomically"),
            std::vector<std::string>{"rcl_interfaces/srv/SetParametersAtomically"});
  EXPECT_EQ(probe.node().count_publishers("/cmd_vel"), 1u);
  EXPECT_EQ(probe.node().count_subscribers("/docking_pose"), 1u);

  auto get = probe.client<GetParameters>("/robot1/dock1/get_parameters");
  EXPECT_EQ(probe.doubles(get, {"kp_w_", "ki_angle_"}), (std::vector<double>{1.5, 0.04}));
}

TEST(NodeGraph, ParametersReadAsRclcppAndEverySetRefusedAsReadOnly) {
  DockingPeer peer(173);
  peer.start_node();
  Probe probe;
  std::vector<ParameterEvent> events;
  auto events_sub = probe.node().create_subscription<ParameterEvent>(
      "/parameter_events", rclcpp::ParameterEventsQoS(), [&](const ParameterEvent& event) {
        // Declarations at start-up show as new parameters, reaching the probe or not
        // as discovery happens to go; a set would show as a changed one.
        if (event.node == "/align_controller" && !event.changed_parameters.empty()) {
          events.push_back(event);
        }
      });
  auto list = probe.client<ListParameters>("/align_controller/list_parameters");
  auto get = probe.client<GetParameters>("/align_controller/get_parameters");
  auto set = probe.client<SetParameters>("/align_controller/set_parameters");
  auto describe = probe.client<DescribeParameters>("/align_controller/describe_parameters");

  // Answered by the idle loop within about one 6 Hz period.
  const auto [listed, idle_latency] = probe.call<ListParameters>(list, ListParameters::Request());
  EXPECT_LT(idle_latency, 1s);
  std::vector<std::string> expected = {"qos_overrides./parameter_events.publisher.depth",
                                       "qos_overrides./parameter_events.publisher.durability",
                                       "qos_overrides./parameter_events.publisher.history",
                                       "qos_overrides./parameter_events.publisher.reliability",
                                       "use_sim_time"};
  for (const auto& [name, value] : kDefaults) expected.push_back(name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listed->result.names, expected);

  GetParameters::Request names;
  for (const auto& [name, value] : kDefaults) names.names.push_back(name);
  const auto values = probe.call<GetParameters>(get, names).first->values;
  ASSERT_EQ(values.size(), kDefaults.size());
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(values[i].type, rclcpp::PARAMETER_DOUBLE) << kDefaults[i].first;
    EXPECT_EQ(values[i].double_value, kDefaults[i].second) << kDefaults[i].first;
  }

  // Every parameter read-only, with a description that ends in its unit.
  DescribeParameters::Request described;
  described.names = names.names;
  const auto descriptors = probe.call<DescribeParameters>(describe, described).first->descriptors;
  ASSERT_EQ(descriptors.size(), kDefaults.size());
  for (size_t i = 0; i < descriptors.size(); ++i) {
    EXPECT_EQ(descriptors[i].name, kDefaults[i].first);
    EXPECT_EQ(descriptors[i].type, rclcpp::PARAMETER_DOUBLE) << kDefaults[i].first;
    EXPECT_TRUE(descriptors[i].read_only) << kDefaults[i].first;
    EXPECT_EQ(descriptors[i].description.back(), ')') << kDefaults[i].first;
  }
  EXPECT_EQ(descriptors[6].description, "turn rate per lateral error in step 4 (rad/s per m)");

  // rclcpp refuses a read-only parameter before it looks at the value: a good
  // value, a wrong type and one start-up refuses alike, and changes nothing.
  SetParameters::Request change;
  change.parameters = {parameter_message("kp_w_", rclcpp::PARAMETER_DOUBLE, 2.0),
                       parameter_message("trigger_mode", rclcpp::PARAMETER_INTEGER, 4),
                       parameter_message("yMaxerror_threshold", rclcpp::PARAMETER_DOUBLE, -3.0)};
  const auto results = probe.call<SetParameters>(set, change).first->results;
  ASSERT_EQ(results.size(), 3u);
  for (size_t i = 0; i < results.size(); ++i) {
    EXPECT_FALSE(results[i].successful) << i;
    EXPECT_EQ(results[i].reason, "parameter '" + change.parameters[i].name +
                                     "' cannot be set because it is read-only");
  }
  GetParameters::Request kp_w;
  kp_w.names = {"kp_w_", "trigger_mode"};
  EXPECT_EQ(probe.doubles(get, kp_w.names), (std::vector<double>{1.0, 3.0}));
  // No change event either (a successful set's reaches the probe well within this).
  EXPECT_FALSE(peer.spin_until(
      [&] {
        probe.spin_some();
        return !events.empty();
      },
      2s));

  // A docking into step 4: the regulator has kp 1.0, so a lateral error of
  // 0.03 gives w_dy 0.03. Calls made meanwhile are answered within the loop as well.
  peer.request(1, 0, 0);
  peer.wait_pose({10.0, 10.0, -2.0});
  const auto [during, attempt_latency] = probe.call<GetParameters>(get, kp_w);
  EXPECT_LT(attempt_latency, 1s);
  EXPECT_EQ(during->values.size(), 2u);
  const double h = std::atan2(0.03, 1.9);
  peer.robot_in_station(1.9, 0.03, h);
  const size_t step4 = peer.wait_line("poseAlign, dxdydr: 1.9", 0, 20s);
  EXPECT_NEAR(numbers_after(peer.lines()[step4], "w_dy: ").at(0), 0.03, 1e-9)
      << peer.lines()[step4];

  // A call made while the success end blocks the loop waits for its next
  // spin_some, and is answered then.
  peer.robot_in_station(0.2, 0.0, 0.0);
  peer.wait_line("docking finish! 0.2");
  const auto [late, paused_latency] = probe.call<GetParameters>(get, kp_w);
  ASSERT_EQ(late->values.size(), 2u);
  EXPECT_GT(paused_latency, 1s);
  ASSERT_TRUE(peer.spin_until([&] { return !peer.results.empty(); }, 10s));
  EXPECT_EQ(peer.results[0], make_align(1, 1, 1));
}

}  // namespace
