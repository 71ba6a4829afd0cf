// ros2 topic hz and bw: the rate and the bandwidth of a topic, printed as ros2topic
// prints them until interrupted.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <numeric>

#include "direct_node.hpp"
#include "interrupts.hpp"
#include "rclcpp/rclcpp.hpp"
#include "topic_graph.hpp"
#include "verb.hpp"

namespace ros2_lite {
namespace {

int64_t now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

size_t window_of(const ParsedArgs& args, size_t fallback) {
  const auto given = args.values.find("--window");
  return given == args.values.end()
             ? fallback
             : static_cast<size_t>(python_int_value(given->second).value_or(1));
}

// get_msg_class(blocking=True): the topic's type once the graph shows it, null on a signal.
std::shared_ptr<const rclcpp_dds::DynamicType> wait_for_type(DirectNode& direct,
                                                             const std::string& topic,
                                                             std::ostream& out) {
  auto type = topic_message_type(direct.node(), topic);
  if (type) {
    return type;
  }
  out << "WARNING: topic [" << topic << "] does not appear to be published yet" << std::endl;
  while (interrupt_signal() == 0 && rclcpp::ok()) {
    rclcpp::spin_some(direct.shared_node());
    if ((type = topic_message_type(direct.node(), topic))) {
      return type;
    }
    rclcpp::sleep_for(std::chrono::milliseconds(100));
  }
  return nullptr;
}

// ROSTopicHz: the intervals between the last `window` messages, printed once a
// second of message time has passed since the last print.
class RateMeter {
 public:
  explicit RateMeter(size_t window) : window_(window) {}

  void on_message(int64_t now) {
    if (t0_ < 0 || t0_ > now) {
      t0_ = now;
      tn_ = now;
      times_.clear();
    } else {
      times_.push_back(now - tn_);
      tn_ = now;
    }
    if (times_.size() > window_) {
      times_.pop_front();
    }
  }

  // The line to print now, if any.
  std::optional<std::string> report() {
    if (times_.empty()) {
      return std::nullopt;
    }
    if (last_printed_ == 0) {
      last_printed_ = tn_;
      return std::nullopt;
    }
    if (static_cast<double>(tn_) < static_cast<double>(last_printed_) + 1e9) {
      return std::nullopt;
    }
    const double n = static_cast<double>(times_.size());
    const double mean = std::accumulate(times_.begin(), times_.end(), 0.0) / n;
    const double rate = mean > 0 ? 1.0 / mean : 0;
    double squares = 0;
    for (const int64_t t : times_) {
      squares += (static_cast<double>(t) - mean) * (static_cast<double>(t) - mean);
    }
    const double std_dev = std::sqrt(squares / n);
    const auto [min, max] = std::minmax_element(times_.begin(), times_.end());
    last_printed_ = tn_;
    char line[256];
    std::snprintf(line, sizeof(line),
                  "average rate: %.3f\n\tmin: %.3fs max: %.3fs std dev: %.5fs window: %zu",
                  rate * 1e9, static_cast<double>(*min) * 1e-9, static_cast<double>(*max) * 1e-9,
                  std_dev * 1e-9, times_.size());
    return std::string(line);
  }

 private:
  size_t window_;
  int64_t t0_ = -1;
  int64_t tn_ = 0;
  int64_t last_printed_ = 0;
  std::deque<int64_t> times_;
};

// ROSTopicBandwidth: bytes per second over the last `window` messages.
class BandwidthMeter {
 public:
  explicit BandwidthMeter(size_t window) : window_(window) {}

  void on_message(int64_t now, size_t size) {
    times_.push_back(now);
    sizes_.push_back(size);
    if (times_.size() > window_) {
      times_.pop_front();
      sizes_.pop_front();
    }
  }

  std::optional<std::string> report(int64_t now) {
    if (times_.size() < 2) {
      return std::nullopt;
    }
    if (now <= times_.front()) {
      times_.clear();
      sizes_.clear();
      return std::nullopt;
    }
    const double total = std::accumulate(sizes_.begin(), sizes_.end(), 0.0);
    const double n = static_cast<double>(sizes_.size());
    const double per_second = total / (static_cast<double>(now - times_.front()) * 1e-9);
    const double values[] = {per_second, total / n,
                             static_cast<double>(*std::min_element(sizes_.begin(), sizes_.end())),
                             static_cast<double>(*std::max_element(sizes_.begin(), sizes_.end()))};
    std::string text[4];
    for (int i = 0; i < 4; ++i) {
      char number[64];
      if (per_second < 1000) {
        std::snprintf(number, sizeof(number), "%.0f B", values[i]);
      } else if (per_second < 1000000) {
        std::snprintf(number, sizeof(number), "%.2f KB", values[i] / 1000);
      } else {
        std::snprintf(number, sizeof(number), "%.2f MB", values[i] / 1000 / 1000);
      }
      text[i] = number;
    }
    return text[0] + "/s from " + std::to_string(sizes_.size()) +
           " messages\n\tMessage size mean: " + text[1] + " min: " + text[2] + " max: " + text[3];
  }

 private:
  size_t window_;
  std::deque<int64_t> times_;
  std::deque<size_t> sizes_;
};

const rclcpp::QoS kSensorData = rclcpp::QoS(5).best_effort();

std::optional<std::string> topic_hz(const ParsedArgs& args, std::ostream& out, std::ostream&) {
  if (args.values.count("--filter") > 0) {
    return "ros2_lite: --filter is not supported";
  }
  const std::string& topic = args.positionals.at("topic_name");
  DirectNode direct(args);
  catch_interrupts();
  const auto type = wait_for_type(direct, topic, out);
  if (!type) {
    exit_for_signal();
  }
  RateMeter meter(window_of(args, 10000));
  auto subscription = direct.shared_node()->create_dynamic_subscription(
      topic, type, kSensorData, [&](std::shared_ptr<void>) { meter.on_message(now_ns()); });
  while (interrupt_signal() == 0 && rclcpp::ok()) {
    rclcpp::spin_some(direct.shared_node());
    // spin_some takes one message a call: a fast publisher's queue is emptied here.
    while (subscription->take_and_dispatch()) {
    }
    if (const auto line = meter.report()) {
      out << *line << std::endl;
    }
    rclcpp::sleep_for(std::chrono::microseconds(200));
  }
  exit_for_signal();
}

std::optional<std::string> topic_bw(const ParsedArgs& args, std::ostream& out, std::ostream&) {
  const std::string& topic = args.positionals.at("topic");
  DirectNode direct(args);
  catch_interrupts();
  const auto type = wait_for_type(direct, topic, out);
  if (!type) {
    exit_for_signal();
  }
  BandwidthMeter meter(window_of(args, 100));
  // The size on the wire: the message as the layer serializes it, header included.
  auto subscription = direct.shared_node()->create_dynamic_subscription(
      topic, type, kSensorData, [&](std::shared_ptr<void> message) {
        meter.on_message(now_ns(), type->serialize(message.get()).size());
      });
  out << "Subscribed to [" << topic << "]" << std::endl;
  auto next_report = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (interrupt_signal() == 0 && rclcpp::ok()) {
    rclcpp::spin_some(direct.shared_node());
    while (subscription->take_and_dispatch()) {
    }
    if (std::chrono::steady_clock::now() >= next_report) {
      next_report += std::chrono::seconds(1);
      if (const auto line = meter.report(now_ns())) {
        out << *line << std::endl;
      }
    }
    rclcpp::sleep_for(std::chrono::microseconds(200));
  }
  exit_for_signal();
}

Argument window_argument(const std::string& help) {
  Argument window({"--window", "-w"}, "", Nargs::kOne, help, false, "WINDOW");
  window.convert = [](const std::string& text) -> std::optional<std::string> {
    const auto value = python_int_value(text);
    if (value && *value > 0) {
      return std::nullopt;
    }
    return "value must be a positive integer";
  };
  return window;
}

}  // namespace

std::vector<Verb> topic_rate_verbs() {
  std::vector<Argument> hz{
      {{}, "topic_name", Nargs::kOne, "Name of the ROS topic to listen to (e.g. '/chatter')"},
      window_argument("window size, in # of messages, for calculating rate (default: 10000)"),
      {{"--filter"},
       "",
       Nargs::kOne,
       "only measure messages matching the specified Python expression",
       false,
       "EXPR"},
      {{"--wall-time"},
       "",
       Nargs::kZero,
       "calculates rate using wall time which can be helpful when clock is not published during "
       "simulation"}};
  std::vector<Argument> bw{
      {{}, "topic", Nargs::kOne, "Topic name to monitor for bandwidth utilization"},
      window_argument(
          "maximum window size, in # of messages, for calculating rate (default: 100)")};
  for (const auto& option : direct_only_options()) {
    hz.push_back(option);
    bw.push_back(option);
  }
  return {{"topic", "hz", "Print the average publishing rate to screen", hz, topic_hz},
          {"topic", "bw", "Display bandwidth used by topic", bw, topic_bw}};
}

}  // namespace ros2_lite
