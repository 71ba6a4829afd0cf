// Cost of one log line on /rosout beside its console line: the node's console path
// (spdlog's colour sink to standard output, pattern "%v") and the rosout path (rcl's
// rosout output handler through the node's rosout publisher), per line, as the
// median and 99th percentile of batches.
//
//   bench_rosout_log [batches] > /dev/null     (default 200 batches of 100 lines; 0: none)
//
// Figures go to standard error. Bursts with no /rosout reader, and with a reader in
// this process that takes the lines after each batch; then as the node logs in an
// active cycle: 15 lines at 6 Hz for 10 s. A reader in another process (ros2 topic
// echo) may run beside it.
#include <spdlog/sinks/ansicolor_sink.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "rcl/logging_rosout.h"
#include "rcl_interfaces/msg/log.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rcutils/logging.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLinesPerBatch = 100;
constexpr int kLinesPerCycle = 15;
constexpr auto kCycle = std::chrono::microseconds(166667);

// As long as the node's busiest line, poseAlign's.
const std::string kText =
    "poseAlign, dxdydr: 0.41234567891, -0.01234567891, 0.03456789123, w_dy: 0.00123456789, "
    "w_dr: -0.00345678912, W: 0.00567891234";

void rosout(const rcutils_log_location_t* location, const char* name, const char* format, ...) {
  const auto stamp = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
  va_list args;
  va_start(args, format);
  rcl_logging_rosout_output_handler(location, RCUTILS_LOG_SEVERITY_INFO, name, stamp, format,
                                    &args);
  va_end(args);
}

// Per-line microseconds of each batch.
std::vector<double> measure(int batches, const std::function<void()>& line,
                            const std::function<void()>& after_batch,
                            int lines_per_batch = kLinesPerBatch) {
  std::vector<double> per_line;
  for (int b = 0; b < batches; ++b) {
    const auto start = Clock::now();
    for (int i = 0; i < lines_per_batch; ++i) line();
    const auto end = Clock::now();
    per_line.push_back(std::chrono::duration<double, std::micro>(end - start).count() /
                       lines_per_batch);
    after_batch();
  }
  std::sort(per_line.begin(), per_line.end());
  return per_line;
}

void report(const char* what, const std::vector<double>& sorted) {
  const double median = sorted[sorted.size() / 2];
  const double p99 = sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)];
  std::fprintf(stderr, "%-36s median %7.2f us/line  p99 %7.2f us/line\n", what, median, p99);
}

}  // namespace

int main(int argc, char** argv) {
  // 0: the 6 Hz cycles alone, e.g. beside a slow reader that bursts would swamp.
  const int batches = argc > 1 ? std::atoi(argv[1]) : 200;
  rclcpp::init(1, argv);
  auto node = std::make_shared<rclcpp::Node>("bench_rosout");
  const std::string name = node->get_logger().get_name();
  const rcutils_log_location_t location{"poseAlign", __FILE__, __LINE__};

  spdlog::logger console("bench", std::make_shared<spdlog::sinks::ansicolor_stdout_sink_mt>());
  console.set_pattern("%v");
  const std::string prefixed = " 42 [INFO] " + kText;
  const auto console_line = [&] { console.info(prefixed); };
  const auto rosout_line = [&] {
    rosout(&location, name.c_str(), "%.*s", static_cast<int>(kText.size()), kText.data());
  };
  const auto nothing = [] {};

  std::fprintf(stderr, "%d batches of %d lines of %zu characters\n", batches, kLinesPerBatch,
               kText.size());
  if (batches > 0) {
    report("console (stdout sink)", measure(batches, console_line, nothing));
    report("rosout, no reader", measure(batches, rosout_line, nothing));
  }

  auto reader = std::make_shared<rclcpp::Node>("bench_rosout_reader");
  size_t taken = 0;
  auto subscription = reader->create_subscription<rcl_interfaces::msg::Log>(
      "/rosout", rclcpp::RosoutQoS(), [&](const rcl_interfaces::msg::Log&) { ++taken; });
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (node->count_subscribers("/rosout") == 0 && Clock::now() < deadline) {
    rclcpp::spin_some(reader);
  }
  const auto take = [&] {
    for (int i = 0; i < 2 * kLinesPerBatch; ++i) rclcpp::spin_some(reader);
  };
  take();
  if (batches > 0) {
    report("rosout, a reader in the process", measure(batches, rosout_line, take));
  }
  std::fprintf(stderr, "the reader took %zu lines\n", taken);

  const auto next_cycle = [&] {
    take();
    std::this_thread::sleep_for(kCycle);
  };
  const int cycles = 60;
  report("console, 15 lines a cycle at 6 Hz",
         measure(cycles, console_line, next_cycle, kLinesPerCycle));
  report("rosout, 15 lines a cycle at 6 Hz",
         measure(cycles, rosout_line, next_cycle, kLinesPerCycle));
  rclcpp::shutdown();
  return 0;
}
