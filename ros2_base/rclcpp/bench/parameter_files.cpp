// Start-up cost of a parameter file: reading, merging and selecting the
// overrides of one node, as rclcpp::init and the node's constructor do,
// without the middleware.
//
//   bench_parameter_files [runs]       (default 5; median and worst printed)
//
// Files of 1,000 and 10,000 parameters, then one at every bound at once:
// 10,000 parameters filling 1 MiB.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "arguments.hpp"
#include "parameter_yaml.hpp"

namespace {

using Clock = std::chrono::steady_clock;

// count parameters, each value padded to value_bytes characters.
std::string parameter_file(size_t count, size_t value_bytes) {
  std::string text = "align_controller:\n  ros__parameters:\n";
  for (size_t i = 0; i < count; ++i) {
    text += "    p" + std::to_string(i) + ": \"" + std::string(value_bytes, 'v') + "\"\n";
  }
  return text;
}

double parse_ms(const std::string& path) {
  const char* argv[] = {"bench", "--ros-args", "--params-file", path.c_str()};
  const auto start = Clock::now();
  const auto args = rclcpp_dds::parse_arguments(4, argv);
  const auto overrides = rclcpp_dds::overrides_for(args, "/align_controller");
  const auto end = Clock::now();
  if (overrides.empty()) std::abort();
  return std::chrono::duration<double, std::milli>(end - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const size_t limit = rclcpp_dds::kMaxParametersPerFile;
  // Fills the file up to the byte bound, less room for the names.
  const size_t full_value =
      (rclcpp_dds::kMaxParameterFileBytes - parameter_file(limit, 0).size()) / limit;
  struct Case {
    const char* what;
    std::string text;
  };
  const Case cases[] = {
      {"1,000 parameters", parameter_file(1000, 8)},
      {"10,000 parameters", parameter_file(limit, 8)},
      {"10,000 parameters, 1 MiB", parameter_file(limit, full_value)},
  };

  const auto path = std::filesystem::temp_directory_path() /
                    ("bench_parameter_files_" + std::to_string(getpid()));
  std::printf("%-26s %10s %10s %10s\n", "file", "bytes", "median_ms", "worst_ms");
  for (const auto& c : cases) {
    std::ofstream(path) << c.text;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) times.push_back(parse_ms(path));
    std::sort(times.begin(), times.end());
    std::printf("%-26s %10zu %10.1f %10.1f\n", c.what, c.text.size(), times[times.size() / 2],
                times.back());
  }
  std::filesystem::remove(path);
  return 0;
}
