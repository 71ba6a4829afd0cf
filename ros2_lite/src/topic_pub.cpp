// ros2 topic pub: a message of a type known by name, filled from YAML, published
// once, a number of times or until interrupted, with ros2topic's output.
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

#include "direct_node.hpp"
#include "interrupts.hpp"
#include "message_yaml.hpp"
#include "python_text.hpp"
#include "rclcpp/rclcpp.hpp"
#include "topic_graph.hpp"
#include "topic_qos.hpp"
#include "verb.hpp"
#include "yaml_document.hpp"

namespace ros2_lite {
namespace {

using Clock = std::chrono::steady_clock;

// str() of the exception whose repr set_message_fields gives: the text inside
// "AttributeError(...)" with its quotes and escapes undone.
std::string exception_str(const std::string& repr) {
  const size_t open = repr.find('(');
  if (open == std::string::npos || repr.size() < open + 4 || repr.back() != ')') {
    return repr;
  }
  const std::string quoted = repr.substr(open + 1, repr.size() - open - 2);
  const char quote = quoted.front();
  if ((quote != '\'' && quote != '"') || quoted.back() != quote) {
    return quoted;
  }
  std::string text;
  for (size_t i = 1; i + 1 < quoted.size(); ++i) {
    if (quoted[i] == '\\' && i + 2 < quoted.size()) {
      const char next = quoted[++i];
      text += next == 'n' ? '\n' : next == 't' ? '\t' : next;
    } else {
      text += quoted[i];
    }
  }
  return text;
}

double value_or(const ParsedArgs& args, const std::string& flag, double fallback) {
  const auto given = args.values.find(flag);
  return given == args.values.end() ? fallback
                                    : python_float_value(given->second).value_or(fallback);
}

long long int_or(const ParsedArgs& args, const std::string& flag, long long fallback) {
  const auto given = args.values.find(flag);
  return given == args.values.end() ? fallback : python_int_value(given->second).value_or(fallback);
}

// Sleeps in short steps; false once a signal came.
bool pause(Clock::duration duration) {
  const auto until = Clock::now() + duration;
  while (Clock::now() < until) {
    if (interrupt_signal() != 0) {
      return false;
    }
    std::this_thread::sleep_for(
        std::min<Clock::duration>(until - Clock::now(), std::chrono::milliseconds(10)));
  }
  return interrupt_signal() == 0;
}

std::optional<std::string> topic_pub(const ParsedArgs& args, std::ostream& out, std::ostream&) {
  const auto& topic = args.positionals.at("topic_name");
  const auto values_entry = args.positionals.find("values");
  const std::string values_text =
      values_entry == args.positionals.end() ? "{}" : values_entry->second;
  const double period = 1.0 / value_or(args, "--rate", 1.0);
  const long long print_nth = int_or(args, "--print", 1);
  const long long times = args.has("--once") ? 1 : int_or(args, "--times", 0);
  const long long wait_matching = int_or(args, "--wait-matching-subscriptions", times != 0);
  const double keep_alive = value_or(args, "--keep-alive", 0.1);
  const auto profile = args.values.find("--qos-profile");
  const rclcpp::QoS qos =
      with_qos_keys(profile == args.values.end() ? rclcpp::QoS(1).reliable().transient_local()
                                                 : qos_preset(profile->second, false),
                    args, false);

  DirectNode direct(args);
  catch_interrupts();
  const auto type = message_type_by_name(args.positionals.at("message_type"));
  const auto values = safe_load(values_text);
  // PyYAML's errors end ros2 with a traceback; a document over several lines is not read.
  if (!values) {
    return "Failed to read the values as YAML: " + values_text;
  }
  if (!values->pairs) {
    return "The passed value needs to be a dictionary in YAML format";
  }
  std::shared_ptr<rclcpp::Node> node = direct.shared_node();
  const auto name = args.values.find("--node-name");
  if (name != args.values.end()) {
    node = std::make_shared<rclcpp::Node>(name->second);
  }
  auto publisher = node->create_dynamic_publisher(topic, type, qos);

  for (long long waited = 0;
       static_cast<long long>(publisher->get_subscription_count()) < wait_matching; ++waited) {
    if (waited % 10 == 0) {
      out << "Waiting for at least " << wait_matching << " matching subscription(s)..."
          << std::endl;
    }
    if (!pause(std::chrono::milliseconds(100))) {
      exit_for_signal();
    }
  }
  auto message = type->create();
  if (const auto error = set_message_fields(type->members(), message.get(), *values)) {
    return "Failed to populate field: " + exception_str(*error);
  }
  out << "publisher: beginning loop" << std::endl;
  const std::string text = message_repr(type->members(), message.get(), true);
  long long count = 0;
  const auto publish = [&] {
    ++count;
    if (print_nth != 0 && count % print_nth == 0) {
      out << "publishing #" << count << ": " << text << "\n" << std::endl;
    }
    publisher->publish(message.get());
  };
  publish();
  const auto step =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(period));
  auto next = Clock::now() + step;
  while (times != 1 && (times == 0 || count < times)) {
    if (!pause(next - Clock::now()) || !rclcpp::ok()) {
      exit_for_signal();
    }
    rclcpp::spin_some(node);
    publish();
    next += step;
  }
  // Time for the last messages to reach the wire.
  if (!pause(
          std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(keep_alive)))) {
    exit_for_signal();
  }
  return std::nullopt;
}

std::optional<std::string> invalid_unless(bool valid, const std::string& type,
                                          const std::string& text) {
  if (valid) {
    return std::nullopt;
  }
  return "invalid " + type + " value: " + python_str_repr(text);
}

Argument positive_float_argument(std::vector<std::string> flags, const std::string& help) {
  Argument argument(std::move(flags), "", Nargs::kOne, help, false, "N");
  argument.convert = [](const std::string& text) {
    const auto value = python_float_value(text);
    return invalid_unless(value && *value > 0.0, "positive_float", text);
  };
  return argument;
}

Argument nonnegative_int_argument(std::vector<std::string> flags, const std::string& help) {
  Argument argument(std::move(flags), "", Nargs::kOne, help);
  argument.convert = [](const std::string& text) {
    const auto value = python_int_value(text);
    return invalid_unless(value && *value >= 0, "nonnegative_int", text);
  };
  return argument;
}

}  // namespace

Verb topic_pub_verb() {
  Argument print({"-p", "--print"}, "", Nargs::kOne,
                 "Only print every N-th published message (default: 1)", false, "N");
  print.convert = [](const std::string& text) {
    return invalid_unless(python_int_value(text).has_value(), "int", text);
  };
  Argument once({"-1", "--once"}, "", Nargs::kZero, "Publish one message and exit");
  once.exclusive_with_next = true;
  std::vector<Argument> arguments{
      {{}, "topic_name", Nargs::kOne, "Name of the ROS topic to publish to (e.g. '/chatter')"},
      {{}, "message_type", Nargs::kOne, "Type of the ROS message (e.g. 'std_msgs/String')"},
      {{},
       "values",
       Nargs::kOptional,
       "Values to fill the message with in YAML format (e.g. 'data: Hello World'), otherwise "
       "the message will be published with default values"},
      positive_float_argument({"-r", "--rate"}, "Publishing rate in Hz (default: 1)"),
      print,
      once,
      nonnegative_int_argument({"-t", "--times"}, "Publish this number of times and then exit"),
      nonnegative_int_argument({"-w", "--wait-matching-subscriptions"},
                               "Wait until finding the specified number of matching "
                               "subscriptions. Defaults to 1 when using \"-1\"/\"--once\"/"
                               "\"--times\", otherwise defaults to 0."),
      positive_float_argument(
          {"--keep-alive"},
          "Keep publishing node alive for N seconds after the last msg (default: 0.1)"),
      {{"-n", "--node-name"}, "", Nargs::kOne, "Name of the created publishing node"}};
  for (auto& qos : qos_arguments("publish", "Quality of service preset profile to publish)",
                                 "keep_last", "reliable", "transient_local", "")) {
    arguments.push_back(std::move(qos));
  }
  for (auto& option : direct_only_options()) {
    arguments.push_back(std::move(option));
  }
  return {"topic", "pub", "Publish a message to a topic", arguments, topic_pub};
}

}  // namespace ros2_lite
