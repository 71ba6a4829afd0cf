#include "direct_node.hpp"
#include "graph_format.hpp"
#include "verb.hpp"

namespace ros2_lite {
namespace {

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

}  // namespace

std::vector<Verb> topic_verbs() {
  return {
      {"topic", "info", "Print information about a topic",
       DirectNode::options(
           {{{}, "topic_name", Nargs::kOne, "Name of the ROS topic to get info (e.g. '/chatter')"},
            {{"--verbose", "-v"},
             "",
             Nargs::kZero,
             "Prints detailed information like the node name, node namespace, topic type, "
             "GUID and QoS Profile of the publishers and subscribers to this topic"}}),
       topic_info}};
}

}  // namespace ros2_lite
