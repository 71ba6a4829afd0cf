// init/ok/shutdown: ROS_DOMAIN_ID, CYCLONEDDS_URI and the wake-up of sleepers (signals:
// test_cross_process). Each test runs in a process of its own (ctest), on a
// domain id of its own.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "context.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "rclcpp/rclcpp.hpp"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

void init_on_domain(const char* domain_id, std::vector<const char*> args = {}) {
  setenv("ROS_DOMAIN_ID", domain_id, 1);
  args.insert(args.begin(), "test_context");
  rclcpp::init(static_cast<int>(args.size()), args.data());
}

TEST(DomainId, AcceptsUnsetAndTheUsableRangeRejectsAnythingElseNamingTheValue) {
  EXPECT_EQ(rclcpp_dds::domain_id_from_env(nullptr), 0u);
  EXPECT_EQ(rclcpp_dds::domain_id_from_env(""), 0u);
  EXPECT_EQ(rclcpp_dds::domain_id_from_env("0"), 0u);
  EXPECT_EQ(rclcpp_dds::domain_id_from_env("232"), 232u);
  for (const char* bad : {"abc", "12abc", " 5", "+5", "-1", "233", "4294967296",
                          "99999999999999999999999", "0x10", "1.5"}) {
    try {
      rclcpp_dds::domain_id_from_env(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(std::string("'") + bad + "'"), std::string::npos)
          << e.what();
    }
  }
}

TEST(CycloneddsUri, FileEntriesMustBeReadableRegularFilesInlineXmlIsLeftToCyclone) {
  const std::string dir = ::testing::TempDir();
  const std::string profile = dir + "cyclonedds_uri_" + std::to_string(getpid()) + ".xml";
  std::ofstream(profile) << "<CycloneDDS/>\n";
  for (const std::string& good :
       {profile, "file://" + profile, " file://" + profile + ", " + profile + ",",
        profile + ",<Tracing><Verbosity>config</Verbosity></Tracing>",
        std::string("<General/>,file:///not/a/file")}) {
    EXPECT_NO_THROW(rclcpp_dds::check_cyclonedds_uri(good)) << good;
  }
  const std::pair<std::string, std::string> bad[] = {
      {"file://" + dir,
       "'file://" + dir + "', which is not a readable regular file (Is a directory)"},
      {profile + ",/no/such.xml",
       "'/no/such.xml', which is not a readable regular file (No such file or directory)"},
      {"/dev/null", "'/dev/null', which is not a readable regular file (not a regular file)"},
  };
  for (const auto& [uri, expected] : bad) {
    try {
      rclcpp_dds::check_cyclonedds_uri(uri);
      ADD_FAILURE() << "accepted '" << uri << "'";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), "CYCLONEDDS_URI names " + expected);
    }
  }
  std::remove(profile.c_str());
}

// A failed init leaves nothing initialised; init and shutdown then cycle.
TEST(Lifecycle, FailedInitIsRetryableAndInitShutdownCycle) {
  EXPECT_THROW(rclcpp::Node("too_early"), std::runtime_error);
  setenv("ROS_DOMAIN_ID", "not-a-number", 1);
  const char* argv[] = {"test_context"};
  EXPECT_THROW(rclcpp::init(1, argv), std::runtime_error);
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_THROW(init_on_domain("11", {"--ros-args", "--bogus"}),
               rclcpp::exceptions::UnknownROSArgsError);
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_FALSE(rclcpp::shutdown());
  for (int i = 0; i < 2; ++i) {
    init_on_domain("11");
    EXPECT_TRUE(rclcpp::ok());
    EXPECT_THROW(init_on_domain("11"), std::runtime_error);
    auto node = std::make_shared<rclcpp::Node>("cycling");
    auto pub = node->create_publisher<geometry_msgs::msg::Twist>("/cmd_vel", 10);
    EXPECT_TRUE(rclcpp::shutdown());
    EXPECT_FALSE(rclcpp::ok());
    EXPECT_FALSE(rclcpp::shutdown());
    // As in rclcpp, publishing after shutdown is silently dropped.
    EXPECT_NO_THROW(pub->publish(geometry_msgs::msg::Twist()));
    EXPECT_THROW(node->create_publisher<geometry_msgs::msg::Twist>("/cmd_vel", 10),
                 std::runtime_error);
  }
}

TEST(Sleep, SleepsTheWholeDurationOnlyWhileInitialised) {
  auto start = Clock::now();
  EXPECT_FALSE(rclcpp::sleep_for(std::chrono::seconds(5)));
  EXPECT_LT(Clock::now() - start, milliseconds(100));
  init_on_domain("13");
  start = Clock::now();
  EXPECT_TRUE(rclcpp::sleep_for(milliseconds(50)));
  EXPECT_GE(Clock::now() - start, milliseconds(50));
  rclcpp::shutdown();
}

TEST(Sleep, ShutdownFromAnotherThreadWakesASleeper) {
  init_on_domain("13");
  auto sleeper =
      std::async(std::launch::async, [] { return rclcpp::sleep_for(std::chrono::seconds(30)); });
  std::this_thread::sleep_for(milliseconds(100));  // let it reach the sleep
  rclcpp::shutdown();
  ASSERT_EQ(sleeper.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_FALSE(sleeper.get());
}

}  // namespace
