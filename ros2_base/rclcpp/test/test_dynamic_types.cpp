// Types known only by name at run time: loaded through the ament index from the
// package's introspection library, their messages made, copied and sent as
// the generated types would be.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

#include <rosidl_typesupport_introspection_cpp/field_types.hpp>
#include "message_samples.hpp"

#include "rclcpp/rclcpp.hpp"
#include "rclcpp/typesupport_helpers.hpp"
#include "rclcpp_dds/dynamic_type.hpp"
#include "test_support/child_process.hpp"
#include "wire_test_msgs/action/sequence.hpp"
#include "wire_test_msgs/msg/all_kinds.hpp"
#include "wire_test_msgs/srv/echo.hpp"

namespace {

using rclcpp_dds::DynamicType;
using wire_test_msgs::msg::AllKinds;

std::string error_of(const std::function<void()>& load) {
  try {
    load();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no error";
}

TEST(TypesupportHelpers, SplitTypeNamesAsRclcpp) {
  EXPECT_EQ(rclcpp::extract_type_identifier("pkg/msg/Type"),
            std::make_tuple(std::string("pkg"), std::string("msg"), std::string("Type")));
  EXPECT_EQ(rclcpp::extract_type_identifier("pkg/Type"),
            std::make_tuple(std::string("pkg"), std::string(""), std::string("Type")));
  for (const char* malformed : {"Type", "/Type", "pkg/msg/"}) {
    EXPECT_EQ(error_of([&] { rclcpp::extract_type_identifier(malformed); }),
              "Message type is not of the form package/type and cannot be processed")
        << malformed;
  }
}

TEST(TypesupportHelpers, NameWhatIsMissing) {
  EXPECT_NE(error_of([] {
              DynamicType::load("no_such_package/msg/Type");
            }).find("package 'no_such_package' not found"),
            std::string::npos);
  EXPECT_EQ(error_of([] { DynamicType::load("wire_test_msgs/msg/Nope"); }),
            "Something went wrong loading the typesupport library for message type "
            "wire_test_msgs/Nope. Library could not be found.");
  // A service is no message, and the other way round.
  EXPECT_NE(error_of([] { DynamicType::load("wire_test_msgs/srv/Echo"); }), "no error");
  EXPECT_NE(error_of([] { DynamicType::load_service("wire_test_msgs/msg/AllKinds"); }), "no error");
  // Found through AMENT_PREFIX_PATH only.
  const std::string saved = getenv("AMENT_PREFIX_PATH");
  setenv("AMENT_PREFIX_PATH", "/nonexistent", 1);
  EXPECT_NE(error_of([] {
              DynamicType::load("wire_test_msgs/msg/AllKinds");
            }).find("package 'wire_test_msgs' not found"),
            std::string::npos);
  setenv("AMENT_PREFIX_PATH", saved.c_str(), 1);
}

TEST(DynamicTypes, LoadedByNameTheyAreTheGeneratedTypes) {
  const auto type = DynamicType::load("wire_test_msgs/msg/AllKinds");
  EXPECT_EQ(type->name(), "wire_test_msgs/msg/AllKinds");
  EXPECT_EQ(&type->members(), &rclcpp_dds::message_members<AllKinds>());

  // A new message has the defaults of the .msg file.
  const auto made = type->create();
  EXPECT_EQ(*static_cast<const AllKinds*>(made.get()), AllKinds());

  // Copied and serialized field by field: a sample with every field off its default.
  const AllKinds sample = message_samples::make().all_kinds;
  ASSERT_NE(sample, AllKinds());
  type->copy(&sample, made.get());
  EXPECT_EQ(*static_cast<const AllKinds*>(made.get()), sample);
  const auto bytes = type->serialize(&sample);
  const auto other = type->create();
  ASSERT_TRUE(type->deserialize(bytes, other.get()));
  EXPECT_EQ(*static_cast<const AllKinds*>(other.get()), sample);
  EXPECT_FALSE(type->deserialize({bytes.begin(), bytes.begin() + 8}, other.get()));
}

TEST(DynamicTypes, ServicesAndActionsByTheirParts) {
  const auto [request, response] = DynamicType::load_service("wire_test_msgs/srv/Echo");
  EXPECT_EQ(request->name(), "wire_test_msgs/srv/Echo_Request");
  EXPECT_EQ(response->name(), "wire_test_msgs/srv/Echo_Response");

  using Sequence = wire_test_msgs::action::Sequence;
  const auto send_goal = DynamicType::load_service("wire_test_msgs/action/Sequence_SendGoal");
  const auto goal = send_goal.first->field_type("goal");
  EXPECT_EQ(goal->name(), "wire_test_msgs/action/Sequence_Goal");
  // A field's type outlives the type it came from, and reads the message it lies in.
  auto message = send_goal.first->create();
  static_cast<Sequence::Impl::SendGoalService::Request*>(message.get())->goal.plan = "hold";
  const auto* field = send_goal.first->field(message.get(), "goal");
  EXPECT_EQ(static_cast<const Sequence::Goal*>(field)->plan, "hold");
  EXPECT_EQ(goal->member("plan").type_id_, rosidl_typesupport_introspection_cpp::ROS_TYPE_STRING);
  EXPECT_THROW(goal->member("nope"), std::out_of_range);
  EXPECT_THROW(goal->field_type("plan"), std::invalid_argument);
}

// A generic client and a dynamic subscription talk to the generated types' endpoints.
TEST(DynamicTypes, GenericClientAndDynamicSubscriptionMeetTypedPeers) {
  using Echo = wire_test_msgs::srv::Echo;
  setenv("ROS_DOMAIN_ID", "147", 1);
  const char* argv[] = {"test_dynamic_types"};
  rclcpp::init(1, argv);
  auto server_node = std::make_shared<rclcpp::Node>("server");
  auto client_node = std::make_shared<rclcpp::Node>("client");
  auto service = server_node->create_service<Echo>(
      "echo",
      [](const std::shared_ptr<Echo::Request> request, std::shared_ptr<Echo::Response> response) {
        response->id = request->id + 1;
        response->text = request->text;
        response->server = "typed";
      });
  auto publisher = server_node->create_publisher<AllKinds>("kinds", 10);
  AllKinds heard;
  int count = 0;
  auto subscription = client_node->create_dynamic_subscription(
      "kinds", DynamicType::load("wire_test_msgs/msg/AllKinds"), rclcpp::QoS(10),
      [&](std::shared_ptr<void> message) {
        heard = *static_cast<AllKinds*>(message.get());
        ++count;
      });
  auto client = client_node->create_generic_client("echo", "wire_test_msgs/srv/Echo");
  const auto spin_until = [&](const std::function<bool()>& done) {
    return test_support::wait_until(
        [&] {
          rclcpp::spin_some(server_node);
          rclcpp::spin_some(client_node);
          return done();
        },
        std::chrono::seconds(10));
  };
  ASSERT_TRUE(spin_until([&] { return client->service_is_ready(); }));
  auto request = client->create_request();
  static_cast<Echo::Request*>(request.get())->id = 41;
  static_cast<Echo::Request*>(request.get())->text = "by name";
  auto future = client->async_send_request(request.get());
  ASSERT_TRUE(spin_until(
      [&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
  const std::shared_ptr<void> reply = future.get();
  const auto* response = static_cast<const Echo::Response*>(reply.get());
  EXPECT_EQ(response->id, 42);
  EXPECT_EQ(response->text, "by name");
  EXPECT_EQ(response->server, "typed");

  const AllKinds sample = message_samples::make().all_kinds;
  ASSERT_TRUE(spin_until([&] {
    publisher->publish(sample);
    return count > 0;
  }));
  EXPECT_EQ(heard, sample);
  rclcpp::shutdown();
}

// A generic publisher by type name reaches a subscription of the generated type, and
// its endpoint is listed in the graph under that type.
TEST(DynamicTypes, GenericPublisherMeetsTypedSubscription) {
  setenv("ROS_DOMAIN_ID", "148", 1);
  const char* argv[] = {"test_dynamic_types"};
  rclcpp::init(1, argv);
  auto publisher_node = std::make_shared<rclcpp::Node>("generic_talker");
  auto listener_node = std::make_shared<rclcpp::Node>("listener");
  EXPECT_THROW(
      publisher_node->create_generic_publisher("kinds", "wire_test_msgs/msg/Nope", rclcpp::QoS(10)),
      std::runtime_error);
  auto publisher = publisher_node->create_generic_publisher("kinds", "wire_test_msgs/msg/AllKinds",
                                                            rclcpp::QoS(10).transient_local());
  EXPECT_STREQ(publisher->get_topic_name(), "/kinds");
  EXPECT_EQ(publisher->type().name(), "wire_test_msgs/msg/AllKinds");
  AllKinds heard;
  int count = 0;
  auto subscription = listener_node->create_subscription<AllKinds>(
      "kinds", rclcpp::QoS(10).transient_local(), [&](const AllKinds& message) {
        heard = message;
        ++count;
      });
  const AllKinds sample = message_samples::make().all_kinds;
  auto message = publisher->type().create();
  publisher->type().copy(&sample, message.get());
  const auto spin_until = [&](const std::function<bool()>& done) {
    return test_support::wait_until(
        [&] {
          rclcpp::spin_some(listener_node);
          return done();
        },
        std::chrono::seconds(10));
  };
  ASSERT_TRUE(spin_until([&] { return publisher->get_subscription_count() > 0; }));
  publisher->publish(message.get());
  ASSERT_TRUE(spin_until([&] { return count > 0; }));
  EXPECT_EQ(heard, sample);
  const auto types = listener_node->get_topic_names_and_types();
  ASSERT_EQ(types.count("/kinds"), 1u);
  EXPECT_EQ(types.at("/kinds"), std::vector<std::string>{"wire_test_msgs/msg/AllKinds"});
  rclcpp::shutdown();
}

}  // namespace
