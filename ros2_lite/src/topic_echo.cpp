// ros2 topic echo: the messages of a topic as rosidl_runtime_py writes them, each
// followed by "---", with the QoS ros2topic picks for the publishers it finds.
#include <chrono>
#include <optional>

#include "direct_node.hpp"
#include "interrupts.hpp"
#include "message_fields.hpp"
#include "message_yaml.hpp"
#include "python_text.hpp"
#include "rclcpp/rclcpp.hpp"
#include "topic_graph.hpp"
#include "topic_qos.hpp"
#include "verb.hpp"

namespace ros2_lite {
namespace {

namespace ts = rosidl_typesupport_introspection_cpp;

constexpr size_t kDefaultTruncateLength = 128;

// EchoVerb.choose_qos: sensor_data, reliable or transient-local where every publisher is.
rclcpp::QoS echo_qos(const rclcpp::Node& node, const ParsedArgs& args, std::ostream& out) {
  if (has_qos_keys(args)) {
    const auto profile = args.values.find("--qos-profile");
    return with_qos_keys(
        qos_preset(profile == args.values.end() ? "sensor_data" : profile->second, true), args,
        true);
  }
  rclcpp::QoS qos = rclcpp::QoS(5).best_effort();
  const auto publishers = node.get_publishers_info_by_topic(args.positionals.at("topic_name"));
  if (publishers.empty()) {
    return qos;
  }
  size_t reliable = 0;
  size_t transient_local = 0;
  for (const auto& info : publishers) {
    reliable += info.qos_profile().reliability() == rclcpp::ReliabilityPolicy::Reliable;
    transient_local += info.qos_profile().durability() == rclcpp::DurabilityPolicy::TransientLocal;
  }
  if (reliable == publishers.size()) {
    qos.reliable();
  } else if (reliable > 0) {
    out << "Some, but not all, publishers are offering QoSReliabilityPolicy.RELIABLE. Falling "
           "back to QoSReliabilityPolicy.BEST_EFFORT as it will connect to all publishers"
        << std::endl;
  }
  if (transient_local == publishers.size()) {
    qos.transient_local();
  } else if (transient_local > 0) {
    out << "Some, but not all, publishers are offering QoSDurabilityPolicy.TRANSIENT_LOCAL. "
           "Falling back to QoSDurabilityPolicy.VOLATILE as it will connect to all publishers"
        << std::endl;
  }
  return qos;
}

// type(value).__name__ of a field as the generated Python class holds it.
std::string python_type_name(const ts::MessageMember& m) {
  if (m.is_array_) {
    if (m.type_id_ == ts::ROS_TYPE_MESSAGE || m.type_id_ == ts::ROS_TYPE_STRING ||
        m.type_id_ == ts::ROS_TYPE_WSTRING || m.type_id_ == ts::ROS_TYPE_BOOLEAN ||
        m.type_id_ == ts::ROS_TYPE_OCTET) {
      return introspection::is_sequence(m) || m.type_id_ != ts::ROS_TYPE_BOOLEAN ? "list"
                                                                                 : "ndarray";
    }
    return introspection::is_sequence(m) ? "array" : "ndarray";
  }
  switch (m.type_id_) {
    case ts::ROS_TYPE_MESSAGE:
      return introspection::nested(m).message_name_;
    case ts::ROS_TYPE_BOOLEAN:
      return "bool";
    case ts::ROS_TYPE_OCTET:
      return "bytes";
    case ts::ROS_TYPE_STRING:
    case ts::ROS_TYPE_WSTRING:
      return "str";
    default:
      return introspection::is_float(m.type_id_) ? "float" : "int";
  }
}

// The part of a message --field selects: a message, or one field of one.
struct Selected {
  const ts::MessageMembers* members = nullptr;  // a message
  const ts::MessageMember* member = nullptr;    // else this field
  const void* data = nullptr;
};

class Echo {
 public:
  Echo(const ParsedArgs& args, std::ostream& out) : out_(out) {
    options_.no_arr = args.has("--no-arr");
    options_.no_str = args.has("--no-str");
    csv_ = args.has("--csv");
    once_ = args.has("--once");
    if (!args.has("--full-length")) {
      const auto given = args.values.find("--truncate-length");
      options_.truncate_length =
          given == args.values.end()
              ? kDefaultTruncateLength
              : static_cast<size_t>(python_int_value(given->second).value_or(0));
    }
    const auto field = args.values.find("--field");
    if (field != args.values.end()) {
      std::string part;
      for (const char c : field->second + ".") {
        if (c != '.') {
          part += c;
        } else if (!part.empty()) {
          field_.push_back(part);
          part.clear();
        }
      }
      if (field_.empty()) {
        throw std::runtime_error("Invalid field value '" + field->second + "'");
      }
    }
  }

  // One message; the failure ros2topic raises in its callback, if any.
  std::optional<std::string> print(const ts::MessageMembers& members, const void* message) {
    auto selected = select(members, message);
    if (!selected) {
      return error_;
    }
    if (selected->members != nullptr) {
      if (csv_) {
        out_ << message_to_csv(*selected->members, selected->data, options_) << "\n";
      } else {
        out_ << message_to_yaml(*selected->members, selected->data, options_) << "---\n";
      }
    } else {
      out_ << field_str(*selected->member, selected->data) << (csv_ ? "\n" : "\n---\n");
    }
    out_.flush();
    ++printed_;
    return std::nullopt;
  }

  bool done() const { return once_ && printed_ > 0; }

 private:
  std::optional<Selected> select(const ts::MessageMembers& members, const void* message) {
    Selected at{&members, nullptr, message};
    for (const auto& name : field_) {
      const ts::MessageMember* found = nullptr;
      if (at.members != nullptr) {
        for (const auto* m : introspection::fields(*at.members)) {
          if (name == m->name_) {
            found = m;
          }
        }
      }
      if (found == nullptr) {
        const std::string type =
            at.members != nullptr ? at.members->message_name_ : python_type_name(*at.member);
        std::string path;
        for (const auto& part : field_) {
          path += (path.empty() ? "" : ".") + part;
        }
        error_ =
            "Invalid field '" + path + "': '" + type + "' object has no attribute '" + name + "'";
        return std::nullopt;
      }
      at.data = static_cast<const unsigned char*>(at.data) + found->offset_;
      if (found->type_id_ == ts::ROS_TYPE_MESSAGE && !found->is_array_) {
        at = {&introspection::nested(*found), nullptr, at.data};
      } else {
        at = {nullptr, found, at.data};
      }
    }
    return at;
  }

  // print() of a field that is no message: str() of what Python holds.
  static std::string field_str(const ts::MessageMember& m, const void* field) {
    if (!m.is_array_ && m.type_id_ == ts::ROS_TYPE_STRING) {
      return *static_cast<const std::string*>(field);
    }
    return message_field_repr(m, field);
  }

  std::ostream& out_;
  MessageTextOptions options_;
  bool csv_ = false;
  bool once_ = false;
  std::vector<std::string> field_;
  std::string error_;
  size_t printed_ = 0;
};

std::optional<std::string> topic_echo(const ParsedArgs& args, std::ostream& out,
                                      std::ostream& err) {
  for (const char* flag : {"--raw", "--filter", "--flow-style"}) {
    if (args.has(flag) || args.values.count(flag) > 0) {
      return std::string("ros2_lite: ") + flag + " is not supported";
    }
  }
  if (args.has("--lost-messages")) {
    err << "WARNING: '--lost-messages' is deprecated; lost messages are reported by default"
        << std::endl;
  }
  Echo echo(args, out);
  DirectNode direct(args);
  catch_interrupts();
  rclcpp::Node& node = direct.node();
  const std::string& topic = args.positionals.at("topic_name");
  const rclcpp::QoS qos = echo_qos(node, args, out);
  std::shared_ptr<const rclcpp_dds::DynamicType> type;
  const auto named = args.positionals.find("message_type");
  if (named != args.positionals.end()) {
    type = message_type_by_name(named->second);
  } else {
    type = topic_message_type(node, topic);
    if (!type) {
      out << "WARNING: topic [" << topic << "] does not appear to be published yet" << std::endl;
      return "Could not determine the type for the passed topic";
    }
  }
  std::optional<std::string> failure;
  auto subscription = direct.shared_node()->create_dynamic_subscription(
      topic, type, qos, [&](std::shared_ptr<void> message) {
        if (!failure && !echo.done()) {
          failure = echo.print(type->members(), message.get());
        }
      });
  while (!failure && !echo.done() && interrupt_signal() == 0 && rclcpp::ok()) {
    rclcpp::spin_some(direct.shared_node());
    // spin_some takes one message a call: a fast publisher's queue is emptied here.
    while (!failure && !echo.done() && subscription->take_and_dispatch()) {
    }
    rclcpp::sleep_for(std::chrono::milliseconds(1));
  }
  if (failure || echo.done()) {
    return failure;
  }
  exit_for_signal();
}

}  // namespace

Verb topic_echo_verb() {
  std::vector<Argument> own{
      {{}, "topic_name", Nargs::kOne, "Name of the ROS topic to listen to (e.g. '/chatter')"},
      {{},
       "message_type",
       Nargs::kOptional,
       "Type of the ROS message (e.g. 'std_msgs/msg/String')"}};
  for (auto& qos :
       qos_arguments("subscribe",
                     "Quality of service preset profile to subscribe with (default: sensor_data)",
                     "keep_last", "Automatically match existing publishers ",
                     "Automatically match existing publishers ", "")) {
    own.push_back(std::move(qos));
  }
  Argument truncate({"--truncate-length", "-l"}, "", Nargs::kOne,
                    "The length to truncate arrays, bytes, and string to (default: 128)");
  truncate.convert = [](const std::string& text) -> std::optional<std::string> {
    const auto value = python_int_value(text);
    if (value && *value >= 0) {
      return std::nullopt;
    }
    return "value must be non-negative integer";
  };
  const std::vector<Argument> rest{
      {{"--csv"},
       "",
       Nargs::kZero,
       "Output all recursive fields separated by commas (e.g. for plotting)"},
      {{"--field"},
       "",
       Nargs::kOne,
       "Echo a selected field of a message. Use '.' to select sub-fields. For example, to echo "
       "the position field of a nav_msgs/msg/Odometry message: 'ros2 topic echo /odom --field "
       "pose.pose.position'"},
      {{"--full-length", "-f"},
       "",
       Nargs::kZero,
       "Output all elements for arrays, bytes, and string with a length > '--truncate-length', "
       "by default they are truncated after '--truncate-length' elements with '...''"},
      truncate,
      {{"--no-arr"}, "", Nargs::kZero, "Don't print array fields of messages"},
      {{"--no-str"}, "", Nargs::kZero, "Don't print string fields of messages"},
      {{"--flow-style"},
       "",
       Nargs::kZero,
       "Print collections in the block style (not available with csv format)"},
      {{"--lost-messages"}, "", Nargs::kZero, "DEPRECATED: Does nothing"},
      {{"--no-lost-messages"}, "", Nargs::kZero, "Don't report when a message is lost"},
      {{"--raw"}, "", Nargs::kZero, "Echo the raw binary representation"},
      {{"--filter"},
       "filter_expr",
       Nargs::kOne,
       "Python expression to filter messages that are printed. Expression can use Python "
       "builtins as well as m (the message)."},
      {{"--once"}, "", Nargs::kZero, "Print the first message received and then exit."}};
  own.insert(own.end(), rest.begin(), rest.end());
  return {"topic", "echo", "Output messages from a topic", DirectNode::options(own), topic_echo};
}

}  // namespace ros2_lite
