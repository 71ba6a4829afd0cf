// Setting, listing and describing parameters as rclcpp does, the parameters every
// node declares, and the events that report each change.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "parameter_store.hpp"
#include "rcl_interfaces/msg/parameter_event.hpp"
#include "rcl_interfaces/srv/describe_parameters.hpp"
#include "rcl_interfaces/srv/get_parameter_types.hpp"
#include "rcl_interfaces/srv/get_parameters.hpp"
#include "rcl_interfaces/srv/list_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters_atomically.hpp"
#include "rclcpp/rclcpp.hpp"
#include "test_support/child_process.hpp"
#include "thrown.hpp"

namespace {

using rcl_interfaces::msg::ParameterDescriptor;
using rcl_interfaces::msg::ParameterEvent;
using rclcpp::Parameter;
using rclcpp::exceptions::ParameterNotDeclaredException;
using rclcpp_dds::ParameterStore;
using V = rclcpp::ParameterValue;

ParameterDescriptor read_only() {
  ParameterDescriptor descriptor;
  descriptor.read_only = true;
  return descriptor;
}

ParameterDescriptor dynamic() {
  ParameterDescriptor descriptor;
  descriptor.dynamic_typing = true;
  return descriptor;
}

class Store : public testing::Test {
 protected:
  void SetUp() override {
    store_.declare("kp_w_", V(1.0), ParameterDescriptor(), false);
    store_.declare("trigger_mode", V(3.0), ParameterDescriptor(), false);
    store_.declare("locked", V("x"), read_only(), false);
    store_.declare("free", V(int64_t{1}), dynamic(), false);
  }
  ParameterStore store_{{}};
};

TEST_F(Store, RefusalsCarryRclcppReasonsAndChangeNothing) {
  const auto reason = [&](std::vector<Parameter> parameters) {
    ParameterEvent event;
    const auto result = store_.set_atomically(parameters, &event);
    EXPECT_FALSE(result.successful);
    EXPECT_TRUE(event.changed_parameters.empty() && event.deleted_parameters.empty());
    return result.reason;
  };
  EXPECT_EQ(reason({Parameter("trigger_mode", int64_t{4})}),
            "Wrong parameter type, parameter {trigger_mode} is of type {double}, setting it to "
            "{integer} is not allowed.");
  EXPECT_EQ(reason({Parameter("locked", "y")}),
            "parameter 'locked' cannot be set because it is read-only");
  // Read-only is checked over all parameters before any type.
  EXPECT_EQ(reason({Parameter("kp_w_", true), Parameter("locked", "y")}),
            "parameter 'locked' cannot be set because it is read-only");
  EXPECT_EQ(reason({Parameter("kp_w_")}), "cannot undeclare an statically typed parameter");
  // All or nothing: the good first one is not applied either.
  EXPECT_EQ(reason({Parameter("kp_w_", 2.0), Parameter("trigger_mode", "4")}),
            "Wrong parameter type, parameter {trigger_mode} is of type {double}, setting it to "
            "{string} is not allowed.");
  EXPECT_EQ(*store_.find("kp_w_"), V(1.0));
  EXPECT_EQ(what<ParameterNotDeclaredException>([&] {
              store_.set_atomically({Parameter("kp_w_", 2.0), Parameter("nope", 1.0)});
            }),
            "parameter 'nope' cannot be set because it was not declared");
  EXPECT_EQ(*store_.find("kp_w_"), V(1.0));
}

TEST_F(Store, SuccessfulSetsAreReportedAsChangedOrDeleted) {
  ParameterEvent event;
  const auto result = store_.set_atomically(
      {Parameter("kp_w_", 2.0), Parameter("free", "text"), Parameter("trigger_mode", 3.0)}, &event);
  EXPECT_TRUE(result.successful);
  EXPECT_EQ(result.reason, "");
  EXPECT_EQ(*store_.find("kp_w_"), V(2.0));
  EXPECT_EQ(store_.types({"free", "kp_w_"}), (std::vector<uint8_t>{4, 3}));
  ASSERT_EQ(event.changed_parameters.size(), 3u);  // an unchanged value counts as a change
  EXPECT_EQ(event.changed_parameters[0].name, "kp_w_");
  EXPECT_EQ(event.changed_parameters[0].value.double_value, 2.0);
  EXPECT_EQ(event.changed_parameters[1].value.string_value, "text");

  ParameterEvent deletion;
  EXPECT_TRUE(store_.set_atomically({Parameter("free")}, &deletion).successful);
  ASSERT_EQ(deletion.deleted_parameters.size(), 1u);
  EXPECT_EQ(deletion.deleted_parameters[0].value.string_value, "text");
  EXPECT_EQ(store_.find("free"), nullptr);
}

TEST_F(Store, QueriesRefuseAnyUndeclaredName) {
  EXPECT_EQ(store_.get({"trigger_mode"})[0].get_value<double>(), 3.0);
  EXPECT_EQ(what<ParameterNotDeclaredException>([&] { store_.get({"kp_w_", "nope"}); }), "nope");
  EXPECT_THROW(store_.types({"nope"}), ParameterNotDeclaredException);
  EXPECT_THROW(store_.describe({"kp_w_", "nope"}), ParameterNotDeclaredException);
  const auto descriptors = store_.describe({"locked", "kp_w_"});
  EXPECT_EQ(descriptors[0].name, "locked");
  EXPECT_TRUE(descriptors[0].read_only);
  EXPECT_EQ(descriptors[1].type, rclcpp::PARAMETER_DOUBLE);
}

TEST(StoreRanges, BoundsAndStepsAsRclcpp) {
  ParameterStore store({});
  ParameterDescriptor integer;
  integer.integer_range.resize(1);
  integer.integer_range[0].from_value = 0;
  integer.integer_range[0].to_value = 10;
  integer.integer_range[0].step = 3;
  store.declare("i", V(int64_t{0}), integer, false);
  ParameterDescriptor floating;
  floating.floating_point_range.resize(1);
  floating.floating_point_range[0].from_value = 0.0;
  floating.floating_point_range[0].to_value = 1.0;
  floating.floating_point_range[0].step = 0.1;
  store.declare("f", V(0.0), floating, false);
  const auto ok = [&](const Parameter& p) { return store.set_atomically({p}).successful; };
  EXPECT_TRUE(ok(Parameter("i", int64_t{9})));
  EXPECT_TRUE(ok(Parameter("i", int64_t{10})));  // a bound off the step still counts
  EXPECT_FALSE(ok(Parameter("i", int64_t{4})));
  EXPECT_FALSE(ok(Parameter("i", int64_t{-3})));
  EXPECT_TRUE(ok(Parameter("f", 0.3)));  // 0.1 * 3 is not exactly 0.3
  EXPECT_FALSE(ok(Parameter("f", 0.35)));
  EXPECT_EQ(store.set_atomically({Parameter("f", 1.5)}).reason,
            "Parameter {f} doesn't comply with floating point range.");
  EXPECT_EQ(store.set_atomically({Parameter("i", int64_t{11})}).reason,
            "Parameter {i} doesn't comply with integer range.");

  // A declaration whose override or default is out of range fails as rclcpp's does.
  ParameterStore overridden({{"i", V(int64_t{4})}, {"f", V(0.3)}});
  EXPECT_EQ(what<rclcpp::exceptions::InvalidParameterValueException>(
                [&] { overridden.declare("i", V(int64_t{0}), integer, false); }),
            "parameter 'i' could not be set: Parameter {i} doesn't comply with integer range.");
  EXPECT_EQ(overridden.find("i"), nullptr);
  EXPECT_EQ(overridden.declare("f", V(0.0), floating, false).get<double>(), 0.3);
  EXPECT_EQ(what<rclcpp::exceptions::InvalidParameterValueException>(
                [&] { store.declare("g", V(2.0), floating, false); }),
            "parameter 'g' could not be set: Parameter {g} doesn't comply with floating point "
            "range.");
}

TEST(StoreList, PrefixesAndDepthAsRclcpp) {
  ParameterStore store({});
  for (const char* name : {"b", "a.x", "a.y.z", "a.y.w", "c.d"}) {
    store.declare(name, V(1.0), ParameterDescriptor(), false);
  }
  using Names = std::vector<std::string>;
  const auto all = store.list({}, 0);
  EXPECT_EQ(all.names, (Names{"a.x", "a.y.w", "a.y.z", "b", "c.d"}));
  EXPECT_EQ(all.prefixes, (Names{"a", "a.y", "c"}));
  EXPECT_EQ(store.list({}, 1).names, (Names{"b"}));
  EXPECT_EQ(store.list({}, 2).names, (Names{"a.x", "b", "c.d"}));
  EXPECT_EQ(store.list({"a"}, 0).names, (Names{"a.x", "a.y.w", "a.y.z"}));
  // The separator after the prefix counts: depth 1 under a prefix lists nothing.
  EXPECT_EQ(store.list({"a"}, 1).names, Names{});
  EXPECT_EQ(store.list({"a"}, 2).names, (Names{"a.x"}));
  EXPECT_EQ(store.list({"a.y", "b"}, 0).names, (Names{"a.y.w", "a.y.z", "b"}));
  EXPECT_EQ(store.list({"a.x.q"}, 0).names, Names{});
}

TEST(ParameterMessages, EveryTypeRoundTrips) {
  const std::vector<V> values = {V(),
                                 V(true),
                                 V(int64_t{-7}),
                                 V(2.5),
                                 V("s"),
                                 V(std::vector<uint8_t>{0, 255}),
                                 V(std::vector<bool>{true, false}),
                                 V(std::vector<int64_t>{1, -1}),
                                 V(std::vector<double>{0.5}),
                                 V(std::vector<std::string>{"a", ""})};
  for (const V& value : values) {
    const auto message = value.to_value_msg();
    EXPECT_EQ(message.type, value.get_type());
    EXPECT_EQ(V(message), value) << rclcpp::to_string(value);
  }
  EXPECT_EQ(V(2.5).to_value_msg().integer_value, 0);  // only the held field is filled
  rcl_interfaces::msg::ParameterValue unknown;
  unknown.type = 10;
  EXPECT_THROW(V{unknown}, std::runtime_error);
}

// A node in this process, watched by a subscription of its own on /parameter_events.
class NodeParameters : public testing::Test {
 protected:
  void SetUp() override {
    setenv("ROS_DOMAIN_ID", "160", 1);
    const char* argv[] = {"test_parameters", "--ros-args", "-r", "__ns:=/robot1"};
    rclcpp::init(4, argv);
    watcher_ = std::make_shared<rclcpp::Node>("watcher");
    events_sub_ = watcher_->create_subscription<ParameterEvent>(
        "/parameter_events", rclcpp::ParameterEventsQoS(),
        [this](const ParameterEvent& event) { events_.push_back(event); });
  }
  void TearDown() override { rclcpp::shutdown(); }

  // Waits until n events of node `fqn` have arrived; returns them.
  std::vector<ParameterEvent> events_of(const std::string& fqn, size_t n) {
    std::vector<ParameterEvent> found;
    test_support::wait_until(
        [&] {
          rclcpp::spin_some(watcher_);
          found.clear();
          for (const auto& event : events_) {
            if (event.node == fqn) {
              found.push_back(event);
            }
          }
          return found.size() >= n;
        },
        std::chrono::seconds(5));
    return found;
  }

  rclcpp::Node::SharedPtr watcher_;
  rclcpp::Subscription<ParameterEvent>::SharedPtr events_sub_;
  std::vector<ParameterEvent> events_;
};

TEST_F(NodeParameters, OwnParametersAsEveryRclcppNodeHasThem) {
  auto node = std::make_shared<rclcpp::Node>("own");
  const auto listed = node->list_parameters({}, 0).names;
  EXPECT_EQ(listed, (std::vector<std::string>{
                        "qos_overrides./parameter_events.publisher.depth",
                        "qos_overrides./parameter_events.publisher.durability",
                        "qos_overrides./parameter_events.publisher.history",
                        "qos_overrides./parameter_events.publisher.reliability", "use_sim_time"}));
  EXPECT_EQ(node->get_parameter("use_sim_time").get_type(), rclcpp::PARAMETER_BOOL);
  EXPECT_FALSE(node->get_parameter("use_sim_time").as_bool());
  const auto depth = node->describe_parameters({"qos_overrides./parameter_events.publisher.depth"});
  EXPECT_TRUE(depth[0].read_only);
  EXPECT_EQ(depth[0].description, "qos policy {depth} for publisher {/parameter_events}");
  EXPECT_EQ(node->get_parameter("qos_overrides./parameter_events.publisher.depth").as_int(), 1000);
  EXPECT_EQ(
      node->set_parameter(Parameter("qos_overrides./parameter_events.publisher.depth", int64_t{10}))
          .reason,
      "parameter 'qos_overrides./parameter_events.publisher.depth' cannot be set because it "
      "is read-only");
}

TEST_F(NodeParameters, DeclarationsAndSuccessfulSetsArePublished) {
  auto node = std::make_shared<rclcpp::Node>("tuned");
  node->declare_parameter("kp_w_", 1.0);
  // use_sim_time, the four QoS parameters, kp_w_.
  auto events = events_of("/robot1/tuned", 6);
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0].new_parameters[0].name, "use_sim_time");
  EXPECT_EQ(events[5].new_parameters[0].name, "kp_w_");
  EXPECT_GT(events[5].stamp.sec, 0);

  EXPECT_FALSE(node->set_parameter(Parameter("kp_w_", int64_t{2})).successful);
  EXPECT_THROW(node->set_parameter(Parameter("nope", 2.0)), ParameterNotDeclaredException);
  const auto results =
      node->set_parameters({Parameter("kp_w_", 2.0), Parameter("use_sim_time", 1.0)});
  EXPECT_TRUE(results[0].successful);
  EXPECT_FALSE(results[1].successful);
  EXPECT_EQ(node->get_parameter("kp_w_").as_double(), 2.0);
  // Only the one successful set follows the declarations.
  events = events_of("/robot1/tuned", 7);
  ASSERT_EQ(events.size(), 7u);
  ASSERT_EQ(events[6].changed_parameters.size(), 1u);
  EXPECT_EQ(events[6].changed_parameters[0].value.double_value, 2.0);
  EXPECT_TRUE(events[6].new_parameters.empty());
}

TEST_F(NodeParameters, NoEventsWithoutTheEventPublisher) {
  auto quiet = std::make_shared<rclcpp::Node>(
      "quiet", rclcpp::NodeOptions().start_parameter_event_publisher(false));
  quiet->declare_parameter("x", 1.0);
  quiet->set_parameter(Parameter("x", 2.0));
  auto loud = std::make_shared<rclcpp::Node>("loud");
  // Both in this process: once loud's declarations are in, quiet's would be too.
  EXPECT_EQ(events_of("/robot1/loud", 5).size(), 5u);
  for (const auto& event : events_) {
    EXPECT_NE(event.node, "/robot1/quiet");
  }
}

// Calls service `name` from `node` itself, whose spinning also answers it.
template <class ServiceT>
std::shared_ptr<typename ServiceT::Response> call(const rclcpp::Node::SharedPtr& node,
                                                  const std::string& name,
                                                  const typename ServiceT::Request& request) {
  auto client = node->create_client<ServiceT>(name);
  EXPECT_TRUE(client->wait_for_service(std::chrono::seconds(5))) << name;
  auto future =
      client->async_send_request(std::make_shared<typename ServiceT::Request>(request)).future;
  EXPECT_EQ(rclcpp::spin_until_future_complete(node, future, std::chrono::seconds(5)),
            rclcpp::FutureReturnCode::SUCCESS)
      << name;
  return future.get();
}

rcl_interfaces::msg::Parameter message(const std::string& name, uint8_t type) {
  rcl_interfaces::msg::Parameter parameter;
  parameter.name = name;
  parameter.value.type = type;
  parameter.value.double_value = 2.0;
  parameter.value.integer_value = 4;
  return parameter;
}

TEST_F(NodeParameters, ServicesAnswerAsRclcppDoes) {
  using namespace rcl_interfaces::srv;  // NOLINT: the six service types
  auto node = std::make_shared<rclcpp::Node>("served");
  node->declare_parameter("kp_w_", 1.0);
  const std::string prefix = "/robot1/served/";

  ListParameters::Request list;
  list.prefixes = {"qos_overrides"};
  EXPECT_EQ(call<ListParameters>(node, prefix + "list_parameters", list)->result.names.size(), 4u);

  GetParameters::Request get;
  get.names = {"kp_w_", "use_sim_time"};
  const auto values = call<GetParameters>(node, prefix + "get_parameters", get)->values;
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].double_value, 1.0);
  EXPECT_EQ(values[1].type, rclcpp::PARAMETER_BOOL);
  get.names = {"kp_w_", "nope"};  // one unknown name empties the whole answer
  EXPECT_TRUE(call<GetParameters>(node, prefix + "get_parameters", get)->values.empty());

  GetParameterTypes::Request types;
  types.names = {"nope"};
  EXPECT_TRUE(call<GetParameterTypes>(node, prefix + "get_parameter_types", types)->types.empty());
  DescribeParameters::Request describe;
  describe.names = {"kp_w_"};
  const auto descriptors =
      call<DescribeParameters>(node, prefix + "describe_parameters", describe)->descriptors;
  ASSERT_EQ(descriptors.size(), 1u);
  EXPECT_EQ(descriptors[0].type, rclcpp::PARAMETER_DOUBLE);

  // Each one on its own; a type no ParameterValue has is refused, not thrown.
  SetParameters::Request set;
  set.parameters = {message("kp_w_", rclcpp::PARAMETER_INTEGER), message("nope", 3),
                    message("kp_w_", 42), message("kp_w_", rclcpp::PARAMETER_DOUBLE)};
  const auto results = call<SetParameters>(node, prefix + "set_parameters", set)->results;
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(results[0].reason,
            "Wrong parameter type, parameter {kp_w_} is of type {double}, setting it to {integer} "
            "is not allowed.");
  EXPECT_EQ(results[1].reason, "parameter 'nope' cannot be set because it was not declared");
  EXPECT_FALSE(results[2].successful);
  EXPECT_TRUE(results[3].successful);
  EXPECT_EQ(node->get_parameter("kp_w_").as_double(), 2.0);

  SetParametersAtomically::Request atomically;
  atomically.parameters = {message("kp_w_", rclcpp::PARAMETER_DOUBLE), message("nope", 3)};
  const auto result =
      call<SetParametersAtomically>(node, prefix + "set_parameters_atomically", atomically)->result;
  EXPECT_FALSE(result.successful);
  EXPECT_EQ(result.reason, "One or more parameters were not declared before setting");
}

}  // namespace
