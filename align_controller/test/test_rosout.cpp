// The node's log on /rosout: each line as rclcpp would publish it from the same call
// site, beside an unchanged standard output; nothing with --disable-rosout-logs.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <limits>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "docking_peer/docking_peer.hpp"
#include "log.hpp"
#include "rcl_interfaces/msg/log.hpp"
#include "rosout_log.hpp"

namespace {

using rcl_interfaces::msg::Log;

// A node of the test process that records what /rosout carries from one logger.
class RosoutListener {
 public:
  explicit RosoutListener(std::string logger_name)
      : node_(std::make_shared<rclcpp::Node>("rosout_listener")),
        logger_name_(std::move(logger_name)),
        subscription_(
            node_->create_subscription<Log>("/rosout", rclcpp::RosoutQoS(), [this](const Log& log) {
              if (log.name == logger_name_) logs.push_back(log);
            })) {}

  void spin() {
    for (int i = 0; i < 50; ++i) rclcpp::spin_some(node_);
  }
  bool spin_until_count(size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      spin();
      if (logs.size() >= count) return true;
      std::this_thread::sleep_for(2ms);
    }
    return logs.size() >= count;
  }
  // /rosout publishers of node name in the graph.
  size_t rosout_publishers_of(const std::string& name) const {
    size_t count = 0;
    for (const auto& info : node_->get_publishers_info_by_topic("/rosout")) {
      if (info.node_name() == name) ++count;
    }
    return count;
  }
  rclcpp::Node& node() { return *node_; }

  std::vector<Log> logs;

 private:
  std::shared_ptr<rclcpp::Node> node_;
  std::string logger_name_;
  rclcpp::Subscription<Log>::SharedPtr subscription_;
};

// The log component with a node in the test process, on its own domain.
class RosoutLogTest : public ::testing::Test {
 protected:
  void start(int domain_id, const char* level, std::vector<std::string> args = {}) {
    setenv("ROS_DOMAIN_ID", std::to_string(domain_id).c_str(), 1);
    setenv("SPDLOG_STDOUT", "true", 1);
    setenv("SPDLOG_SYSTEMD", "false", 1);
    setenv("SPDLOG_LEVEL", level, 1);
    args.insert(args.begin(), "test_rosout");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    rclcpp::init(static_cast<int>(argv.size()), argv.data());
    node_ = std::make_shared<rclcpp::Node>("align_controller", "/robot1");
    rosout_log_ = std::make_unique<RosoutLog>(*node_);
    listener_ = std::make_unique<RosoutListener>("robot1.align_controller");
  }
  void TearDown() override {
    rosout_log_.reset();
    listener_.reset();
    node_.reset();
    rclcpp::shutdown();
  }

  void expect_log(const Log& log, uint8_t level, const std::string& text, int line) {
    EXPECT_EQ(log.level, level) << text;
    EXPECT_EQ(log.name, "robot1.align_controller");
    EXPECT_EQ(log.msg, text);
    EXPECT_EQ(log.file, __FILE__);
    EXPECT_EQ(log.function, "TestBody");
    EXPECT_EQ(log.line, static_cast<uint32_t>(line));
  }

  std::shared_ptr<rclcpp::Node> node_;
  std::unique_ptr<RosoutLog> rosout_log_;
  std::unique_ptr<RosoutListener> listener_;
};

TEST_F(RosoutLogTest, EachLineAsRclcppFillsItFromTheCallSite) {
  start(165, "info");
  const auto before = std::chrono::system_clock::now();
  const std::string long_text(3000, 'x');  // past rcl's 1024-byte first buffer
  LOG_INFO("first {} {:.2f}", 1, 0.5);
  const int info_line = __LINE__ - 1;
  LOG_WARN("second %s %d {}", "");  // printf directives are text here
  const int warn_line = __LINE__ - 1;
  LOG_ERROR("{}", long_text);
  const int error_line = __LINE__ - 1;
  ASSERT_TRUE(listener_->spin_until_count(3, 10s)) << listener_->logs.size();
  ASSERT_EQ(listener_->logs.size(), 3u);
  expect_log(listener_->logs[0], Log::INFO, "first 1 0.50", info_line);
  expect_log(listener_->logs[1], Log::WARN, "second %s %d ", warn_line);
  expect_log(listener_->logs[2], Log::ERROR, long_text, error_line);

  const auto& stamp = listener_->logs[0].stamp;
  const auto stamped = std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::seconds(stamp.sec) + std::chrono::nanoseconds(stamp.nanosec)));
  EXPECT_LE(before, stamped);
  EXPECT_LE(stamped, std::chrono::system_clock::now());
  EXPECT_EQ(listener_->rosout_publishers_of("align_controller"), 1u);
}

TEST_F(RosoutLogTest, NothingBelowTheLevelNorAfterTheSinkGoes) {
  start(166, "warning");
  LOG_INFO("below the level");
  LOG_WARN("at the level");
  ASSERT_TRUE(listener_->spin_until_count(1, 10s));
  rosout_log_.reset();
  LOG_ERROR("after the sink");
  listener_->spin_until_count(2, 1s);
  ASSERT_EQ(listener_->logs.size(), 1u);
  EXPECT_EQ(listener_->logs[0].msg, "at the level");
  EXPECT_EQ(listener_->logs[0].level, Log::WARN);
}

TEST_F(RosoutLogTest, DisabledRosoutLogsLeaveNoPublisherAndNoLine) {
  start(167, "info", {"--ros-args", "--disable-rosout-logs"});
  LOG_ERROR("not on rosout");
  listener_->spin_until_count(1, 1s);
  EXPECT_TRUE(listener_->logs.empty());
  EXPECT_EQ(listener_->rosout_publishers_of("align_controller"), 0u);
}

// The node executable: its standard output line for line as before, and the same
// lines, text without the prefix, on /rosout in the same order.
class NodeRosoutTest : public ::testing::Test {
 protected:
  // Starts the node on its own domain and has it log an INFO and a WARN line.
  void run(int domain_id, const std::vector<std::string>& args) {
    peer_ = std::make_unique<DockingPeer>(domain_id);
    listener_ = std::make_unique<RosoutListener>("align_controller");
    peer_->start_node(args);
    // One after the other: the node takes its topics in an order of its own.
    peer_->request(0, 0, 0);
    peer_->wait_line("Align request callback: 0, 0, 0");
    peer_->docking_pose(std::numeric_limits<double>::quiet_NaN(), 0.0, 0.0);
    peer_->wait_line("/docking_pose dropped");
  }
  void TearDown() override {
    listener_.reset();
    peer_.reset();
  }

  std::unique_ptr<DockingPeer> peer_;
  std::unique_ptr<RosoutListener> listener_;
};

TEST_F(NodeRosoutTest, StandardOutputLinesArriveOnRosoutFromTheirCallSites) {
  run(168, {});
  const std::regex prefixed(R"(^ *(\d+) \[(INFO|WARN|ERROR)\] (.*)$)");
  std::vector<std::smatch> stdout_lines;
  std::vector<std::string> lines = peer_->lines();
  for (const auto& line : lines) {
    std::smatch match;
    if (std::regex_match(line, match, prefixed)) stdout_lines.push_back(match);
  }
  ASSERT_GE(stdout_lines.size(), 2u);
  ASSERT_TRUE(listener_->spin_until_count(stdout_lines.size(), 10s));
  ASSERT_EQ(listener_->logs.size(), stdout_lines.size());
  for (size_t i = 0; i < stdout_lines.size(); ++i) {
    const Log& log = listener_->logs[i];
    const std::string tag = stdout_lines[i][2];
    EXPECT_EQ(log.msg, stdout_lines[i][3].str());
    EXPECT_EQ(log.level, tag == "INFO" ? Log::INFO : tag == "WARN" ? Log::WARN : Log::ERROR);
    EXPECT_EQ(log.file.front(), '/') << log.file;  // __FILE__ of a colcon build
    EXPECT_GT(log.line, 0u);
    EXPECT_FALSE(log.function.empty());
  }
  // The request and the dropped pose, each from its callback.
  const auto& request = listener_->logs[stdout_lines.size() - 2];
  EXPECT_EQ(request.msg, "Align request callback: 0, 0, 0");
  EXPECT_EQ(request.function, "align_callback");
  EXPECT_TRUE(request.file.size() >= 24 &&
              request.file.compare(request.file.size() - 24, 24, "/src/robotcontroller.cpp") == 0)
      << request.file;
  const auto& dropped = listener_->logs.back();
  EXPECT_EQ(dropped.function, "docking_pose_callback");
  EXPECT_EQ(dropped.level, Log::WARN);
  EXPECT_EQ(listener_->rosout_publishers_of("align_controller"), 1u);
}

TEST_F(NodeRosoutTest, DisabledRosoutLogsKeepStandardOutputOnly) {
  run(169, {"--ros-args", "--disable-rosout-logs", "--"});
  EXPECT_EQ(peer_->count_lines("Align request callback: 0, 0, 0"), 1u);
  listener_->spin_until_count(1, 1s);
  EXPECT_TRUE(listener_->logs.empty());
  EXPECT_EQ(listener_->rosout_publishers_of("align_controller"), 0u);
}

}  // namespace
