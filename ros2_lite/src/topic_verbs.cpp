// ros2 topic's graph verbs: info, list, type, find; the others gathered here.
#include <algorithm>
#include <sstream>

#include "direct_node.hpp"
#include "graph_format.hpp"
#include "topic_graph.hpp"
#include "verb.hpp"

namespace ros2_lite {
namespace {

const Argument kIncludeHidden{
    {"--include-hidden-topics"}, "", Nargs::kZero, "Consider hidden topics as well"};

std::optional<std::string> topic_info(const ParsedArgs& args, std::ostream& out,
                                      std::ostream& /*err*/) {
  const std::string& topic = args.positionals.at("topic_name");
  const bool verbose = args.has("--verbose");
  DirectNode direct(args);
  rclcpp::Node& node = direct.node();
  const auto topics = node.get_topic_names_and_types();
  const auto found = topics.find(topic);
  if (found == topics.end()) {
    return "Unknown topic '" + topic + "'";
  }
  TopicInfo info;
  info.types = found->second;
  info.publisher_count = node.count_publishers(topic);
  info.subscription_count = node.count_subscribers(topic);
  if (verbose) {
    info.publishers = node.get_publishers_info_by_topic(topic);
    info.subscriptions = node.get_subscriptions_info_by_topic(topic);
  }
  out << format_topic_info(info, verbose);
  return std::nullopt;
}

std::string types_text(const std::vector<std::string>& types) {
  std::string text;
  for (const auto& type : types) {
    text += (text.empty() ? "" : ", ") + type;
  }
  return text;
}

// ListVerb.show_topic_info
std::string endpoint_counts(const rclcpp::Node& node,
                            const std::map<std::string, std::vector<std::string>>& topics,
                            bool publishers) {
  std::string text = std::string(publishers ? "Published" : "Subscribed") + " topics:\n";
  for (const auto& [name, types] : topics) {
    const size_t count = publishers ? node.count_publishers(name) : node.count_subscribers(name);
    if (count > 0) {
      text += " * " + name + " [" + types_text(types) + "] " + std::to_string(count) +
              (publishers ? " publisher" : " subscriber") + (count > 1 ? "s" : "") + "\n";
    }
  }
  return text;
}

std::optional<std::string> topic_list(const ParsedArgs& args, std::ostream& out, std::ostream&) {
  DirectNode direct(args);
  const auto topics = topic_names_and_types(direct.node(), args.has("--include-hidden-topics"));
  if (args.has("--count-topics")) {
    out << topics.size() << "\n";
  } else if (args.has("--verbose")) {
    if (!topics.empty()) {
      out << endpoint_counts(direct.node(), topics, true) << "\n"
          << endpoint_counts(direct.node(), topics, false) << "\n";
    }
  } else {
    for (const auto& [name, types] : topics) {
      out << name;
      if (args.has("--show-types")) {
        out << " [" << types_text(types) << "]";
      }
      out << "\n";
    }
  }
  return std::nullopt;
}

std::optional<std::string> topic_type(const ParsedArgs& args, std::ostream& out, std::ostream&) {
  std::map<std::string, std::vector<std::string>> topics;
  {
    DirectNode direct(args);
    topics = topic_names_and_types(direct.node(), args.has("--include-hidden-topics"));
  }
  const auto found = topics.find(args.positionals.at("topic_name"));
  if (found == topics.end()) {
    throw ExitStatus{1, ""};
  }
  for (const auto& type : found->second) {
    out << type << "\n";
  }
  return std::nullopt;
}

std::optional<std::string> topic_find(const ParsedArgs& args, std::ostream& out, std::ostream&) {
  std::vector<std::string> found;
  {
    DirectNode direct(args);
    const std::string& wanted = args.positionals.at("topic_type");
    for (const auto& [name, types] :
         topic_names_and_types(direct.node(), args.has("--include-hidden-topics"))) {
      if (std::find(types.begin(), types.end(), wanted) != types.end()) {
        found.push_back(name);
      }
    }
  }
  if (args.has("--count-topics")) {
    out << found.size() << "\n";
  } else {
    for (const auto& name : found) {
      out << name << "\n";
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<Verb> topic_verbs() {
  std::vector<Verb> verbs{
      {"topic", "info", "Print information about a topic",
       DirectNode::options(
           {{{}, "topic_name", Nargs::kOne, "Name of the ROS topic to get info (e.g. '/chatter')"},
            {{"--verbose", "-v"},
             "",
             Nargs::kZero,
             "Prints detailed information like the node name, node namespace, topic type, "
             "GUID and QoS Profile of the publishers and subscribers to this topic"}}),
       topic_info},
      {"topic", "list", "Output a list of available topics",
       DirectNode::options(
           {{{"-t", "--show-types"}, "", Nargs::kZero, "Additionally show the topic type"},
            {{"-c", "--count-topics"},
             "",
             Nargs::kZero,
             "Only display the number of topics discovered"},
            kIncludeHidden,
            {{"-v", "--verbose"}, "", Nargs::kZero, "List full details about each topic"}}),
       topic_list},
      {"topic", "type", "Print a topic's type",
       DirectNode::options({{{},
                             "topic_name",
                             Nargs::kOne,
                             "Name of the ROS topic to get type (e.g. '/chatter')"}}),
       topic_type},
      {"topic", "find", "Output a list of available topics of a given type",
       DirectNode::options({{{},
                             "topic_type",
                             Nargs::kOne,
                             "Name of the ROS topic type to filter for (e.g. "
                             "'std_msg/msg/String')"},
                            {{"-c", "--count-topics"},
                             "",
                             Nargs::kZero,
                             "Only display the number of topics discovered"},
                            kIncludeHidden}),
       topic_find},
      topic_echo_verb(),
      topic_pub_verb()};
  for (auto& verb : topic_rate_verbs()) {
    verbs.push_back(std::move(verb));
  }
  return verbs;
}

}  // namespace ros2_lite
