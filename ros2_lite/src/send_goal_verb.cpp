// ros2 action send_goal: one goal of an action type known by name, its
// feedback and result printed as rosidl_runtime_py writes messages.
#include <cstdio>
#include <functional>
#include <optional>

#include "action_name.hpp"
#include "interrupts.hpp"
#include "message_yaml.hpp"
#include "python_text.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp/typesupport_helpers.hpp"
#include "rclcpp_action/generic_client.hpp"
#include "verb.hpp"
#include "yaml_document.hpp"

namespace ros2_lite {
namespace {

using rclcpp_action::GoalStatus;
using rclcpp_action::GoalUUID;

// The type as rosidl_runtime_py's get_action reads it ("pkg/Type" is "pkg/action/Type"),
// or nullopt where it fails: not an action of an installed package.
std::optional<std::string> action_type_of(const std::string& given) {
  std::vector<std::string> parts = split(given, '/');
  if (parts.size() == 2) {
    parts.insert(parts.begin() + 1, "action");
  }
  if (parts.size() != 3 || parts[1] != "action" || parts[0].empty() || parts[2].empty()) {
    return std::nullopt;
  }
  const std::string type = parts[0] + "/action/" + parts[2];
  try {
    auto library = rclcpp::get_typesupport_library(type, "rosidl_typesupport_introspection_cpp");
    rclcpp::get_typesupport_handle(type + "_Goal", "rosidl_typesupport_introspection_cpp",
                                   *library);
    return type;
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
}

// action_msgs/msg/GoalStatus's states by number, as ros2cli names them.
std::string status_text(int8_t status) {
  static const char* const names[] = {"UNKNOWN",   "ACCEPTED", "EXECUTING", "CANCELING",
                                      "SUCCEEDED", "CANCELED", "ABORTED"};
  return status >= 0 && status <= 6 ? names[status] : "UNKNOWN";
}

// bytes(uuid).hex()
std::string hex(const GoalUUID& id) {
  std::string out;
  for (const uint8_t byte : id) {
    char two[3];
    std::snprintf(two, sizeof(two), "%02x", byte);
    out += two;
  }
  return out;
}

// One goal, from the server's first answer to its result or a cancel.
class GoalSender {
 public:
  GoalSender(const std::string& action_name, const std::string& action_type, std::ostream& out)
      : node_(std::make_shared<rclcpp::Node>("_ros2cli_send_goal_" + node_suffix(action_type))),
        out_(out) {
    client_ = rclcpp_action::create_generic_client(node_, action_name, action_type);
  }

  const rclcpp_dds::DynamicType& goal_type() const { return client_->goal_type(); }

  // What ros2cli hands back as a failure, if anything. SIGINT shuts rclpy's context
  // down: the wait in progress ends with the failure ros2cli then reports, and a goal
  // still accepted or executing is canceled on the way out.
  std::optional<std::string> run(const void* goal, bool feedback) {
    out_ << "Waiting for an action server to become available..." << std::endl;
    if (!spin_until([this] { return client_->action_server_is_ready(); })) {
      return "Failed to check if action server is available: rcl node's context is invalid";
    }
    out_ << "Sending goal:\n     " << message_to_yaml(goal_type().members(), goal, true)
         << std::endl;
    std::optional<bool> accepted;
    auto on_feedback = [this](std::shared_ptr<const void> message) {
      out_ << "Feedback:\n    "
           << message_to_yaml(client_->feedback_type().members(), message.get()) << std::endl;
    };
    const GoalUUID goal_id = client_->async_send_goal(
        goal, [&accepted](bool yes) { accepted = yes; },
        feedback ? rclcpp_action::GenericClient::FeedbackCallback(on_feedback) : nullptr);
    if (!spin_until([&accepted] { return accepted.has_value(); })) {
      return "Exception while sending goal: None";
    }
    if (!*accepted) {
      out_ << "Goal was rejected." << std::endl;
      return std::nullopt;
    }
    out_ << "Goal accepted with ID: " << hex(goal_id) << "\n" << std::endl;
    std::optional<int8_t> status;
    std::shared_ptr<const void> result;
    client_->async_get_result(goal_id, [&](int8_t code, std::shared_ptr<const void> message) {
      status = code;
      result = std::move(message);
    });
    if (!spin_until([&status] { return status.has_value(); })) {
      const auto last = client_->get_status(goal_id);
      if (last == GoalStatus::STATUS_ACCEPTED || last == GoalStatus::STATUS_EXECUTING) {
        out_ << "Canceling goal..." << std::endl;
        // Sent, but its answer never read: the context is gone.
        client_->async_cancel_goal(goal_id, [](auto) {});
        return "Exception while canceling goal: None";
      }
      return "Exception while getting result: None";
    }
    out_ << "Result:\n    " << message_to_yaml(client_->result_type().members(), result.get())
         << std::endl;
    out_ << "Goal finished with status: " << status_text(*status) << std::endl;
    return std::nullopt;
  }

 private:
  static std::string node_suffix(std::string type) {
    for (char& c : type) {
      c = c == '/' ? '_' : c;
    }
    return type;
  }

  // Spins until done() holds: false on SIGINT.
  bool spin_until(const std::function<bool()>& done) {
    while (interrupt_signal() == 0 && rclcpp::ok()) {
      rclcpp::spin_some(node_);
      if (done()) {
        return true;
      }
      rclcpp::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  std::shared_ptr<rclcpp::Node> node_;
  std::ostream& out_;
  rclcpp_action::GenericClient::SharedPtr client_;
};

std::optional<std::string> send_goal(const ParsedArgs& args, std::ostream& out, std::ostream&) {
  const auto type = action_type_of(args.positionals.at("action_type"));
  if (!type) {
    return "The passed action type is invalid";
  }
  const std::string& goal_text = args.positionals.at("goal");
  const auto values = safe_load(goal_text);
  if (!values) {
    return "Failed to read the goal values as YAML: " + goal_text;
  }
  // rcl_action checks the names of the action's topics and services; ros2cli ends with
  // rclpy's ValueError, after a traceback.
  const std::string& action_name = args.positionals.at("action_name");
  if (action_name.empty()) {
    return "ValueError: Failed to create action client: failed to get goal service name";
  }
  // Names with substitutions ("~/x", "{node}") are left to the layer.
  const bool substitutes = action_name[0] == '~' || action_name.find('{') != std::string::npos;
  const auto reason = expanded_action_name(action_name + "/_action/send_goal").reason;
  if (reason && !substitutes) {
    return "ValueError: Failed to create action client due to invalid topic name '" + action_name +
           "' : " + *reason;
  }
  const char* argv[] = {"ros2_lite"};
  rclcpp::init(1, argv, rclcpp::InitOptions(), rclcpp::SignalHandlerOptions::None);
  // Either ends what rclpy is waiting for, as its context's shutdown does.
  catch_interrupts();
  std::optional<std::string> failure;
  try {
    GoalSender sender(action_name, *type, out);
    auto goal = sender.goal_type().create();
    if (const auto error = set_message_fields(sender.goal_type().members(), goal.get(), *values)) {
      failure = "Failed to populate message fields: " + *error;
    } else {
      failure = sender.run(goal.get(), args.has("--feedback"));
    }
  } catch (const std::exception& error) {
    failure = error.what();
  }
  rclcpp::shutdown();
  return failure;
}

}  // namespace

Verb send_goal_verb() {
  return {"action",
          "send_goal",
          "Send an action goal",
          {{{}, "action_name", Nargs::kOne, "Name of the ROS action (e.g. '/fibonacci')"},
           {{},
            "action_type",
            Nargs::kOne,
            "Type of the ROS action (e.g. 'example_interfaces/action/Fibonacci')"},
           {{}, "goal", Nargs::kOne, "Goal request values in YAML format (e.g. '{order: 10}')"},
           {{"-f", "--feedback"}, "", Nargs::kZero, "Echo feedback messages for the goal"}},
          send_goal};
}

}  // namespace ros2_lite
