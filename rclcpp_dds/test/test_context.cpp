// init/ok/shutdown: ROS_DOMAIN_ID, the participant's USER_DATA, signals and
// the wake-up of sleepers. Each test runs in a process of its own (ctest),
// on a domain id of its own.
#include <dds/dds.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>

#include "context.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "rclcpp/rclcpp.hpp"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

void init_on_domain(const char* domain_id) {
  setenv("ROS_DOMAIN_ID", domain_id, 1);
  const char* argv[] = {"test_context"};
  rclcpp::init(1, argv);
}

TEST(DomainId, UnsetOrEmptyIsZero) {
  EXPECT_EQ(rclcpp_dds::domain_id_from_env(nullptr), 0u);
  EXPECT_EQ(rclcpp_dds::domain_id_from_env(""), 0u);
}

TEST(DomainId, AcceptsTheUsableRange) {
  EXPECT_EQ(rclcpp_dds::domain_id_from_env("0"), 0u);
  EXPECT_EQ(rclcpp_dds::domain_id_from_env("42"), 42u);
  EXPECT_EQ(rclcpp_dds::domain_id_from_env("232"), 232u);
}

TEST(DomainId, RejectsAnythingElseNamingTheValue) {
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

TEST(Lifecycle, BadDomainIdFailsInitAndLeavesItRetryable) {
  setenv("ROS_DOMAIN_ID", "not-a-number", 1);
  const char* argv[] = {"test_context"};
  EXPECT_THROW(rclcpp::init(1, argv), std::runtime_error);
  EXPECT_FALSE(rclcpp::ok());
  init_on_domain("11");
  EXPECT_TRUE(rclcpp::ok());
  EXPECT_TRUE(rclcpp::shutdown());
}

TEST(Lifecycle, BadArgumentFailsInitWithRclcppsException) {
  setenv("ROS_DOMAIN_ID", "11", 1);
  const char* argv[] = {"test_context", "--ros-args", "--bogus"};
  EXPECT_THROW(rclcpp::init(3, argv), rclcpp::exceptions::UnknownROSArgsError);
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_FALSE(rclcpp::shutdown());
}

TEST(Lifecycle, InitShutdownCycles) {
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_FALSE(rclcpp::shutdown());
  EXPECT_THROW(rclcpp::Node("too_early"), std::runtime_error);
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
    EXPECT_EQ(pub->get_subscription_count(), 0u);
    EXPECT_THROW(node->create_publisher<geometry_msgs::msg::Twist>("/cmd_vel", 10),
                 std::runtime_error);
  }
}

// A second participant in this process joins the same domain and sees the
// layer's participant through the built-in topic, USER_DATA included.
bool participant_with_user_data(uint32_t domain_id, const std::string& expected) {
  const dds_entity_t observer = dds_create_participant(domain_id, nullptr, nullptr);
  const dds_entity_t reader =
      dds_create_reader(observer, DDS_BUILTIN_TOPIC_DCPSPARTICIPANT, nullptr, nullptr);
  bool found = false;
  const auto end = Clock::now() + std::chrono::seconds(10);
  while (observer > 0 && reader > 0 && !found && Clock::now() < end) {
    void* samples[8] = {};
    dds_sample_info_t infos[8];
    const dds_return_t n = dds_take(reader, samples, infos, 8, 8);
    for (dds_return_t i = 0; i < n; ++i) {
      void* data = nullptr;
      size_t size = 0;
      const auto* p = static_cast<const dds_builtintopic_participant_t*>(samples[i]);
      if (infos[i].valid_data && dds_qget_userdata(p->qos, &data, &size)) {
        found = found || std::string(static_cast<char*>(data), size) == expected;
        dds_free(data);
      }
    }
    if (n > 0) {
      dds_return_loan(reader, samples, n);
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
  dds_delete(observer);
  return found;
}

TEST(Lifecycle, ParticipantCarriesTheRos2Enclave) {
  init_on_domain("12");
  EXPECT_TRUE(participant_with_user_data(12, "enclave=/;"));
  rclcpp::shutdown();
}

TEST(Lifecycle, EnclaveArgumentReachesUserData) {
  setenv("ROS_DOMAIN_ID", "10", 1);
  const char* argv[] = {"test_context", "--ros-args", "--enclave", "/robot1/controller"};
  rclcpp::init(4, argv);
  EXPECT_TRUE(participant_with_user_data(10, "enclave=/robot1/controller;"));
  rclcpp::shutdown();
}

TEST(Sleep, DoesNotSleepWhenNotInitialised) {
  const auto start = Clock::now();
  EXPECT_FALSE(rclcpp::sleep_for(std::chrono::seconds(5)));
  EXPECT_LT(Clock::now() - start, milliseconds(100));
}

TEST(Sleep, SleepsTheWholeDuration) {
  init_on_domain("13");
  const auto start = Clock::now();
  EXPECT_TRUE(rclcpp::sleep_for(milliseconds(50)));
  EXPECT_GE(Clock::now() - start, milliseconds(50));
  rclcpp::shutdown();
}

TEST(Sleep, ShutdownFromAnotherThreadWakesASleeper) {
  init_on_domain("13");
  auto sleeper = std::async(std::launch::async, [] {
    const auto start = Clock::now();
    const bool slept = rclcpp::sleep_for(std::chrono::seconds(30));
    return std::make_pair(slept, Clock::now() - start);
  });
  std::this_thread::sleep_for(milliseconds(100));  // let it reach the sleep
  rclcpp::shutdown();
  ASSERT_EQ(sleeper.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  const auto [slept, took] = sleeper.get();
  EXPECT_FALSE(slept);
  EXPECT_LT(took, std::chrono::seconds(5));
}

class Signals : public testing::TestWithParam<int> {};

// The handler may run on any thread (Cyclone has its own): a signal sent to
// the process must still wake a Rate sleeping in the main thread at once.
TEST_P(Signals, MakeOkFalseAndWakeRateSleep) {
  init_on_domain("14");
  rclcpp::Rate rate(0.1);  // a 10 s period
  auto sender = std::async(std::launch::async, [] {
    std::this_thread::sleep_for(milliseconds(200));
    kill(getpid(), GetParam());
  });
  const auto start = Clock::now();
  rate.sleep();
  const auto took = Clock::now() - start;
  sender.get();
  EXPECT_FALSE(rclcpp::ok());
  EXPECT_LT(took, std::chrono::seconds(3));
  EXPECT_FALSE(rclcpp::sleep_for(std::chrono::seconds(5)));
  EXPECT_TRUE(rclcpp::shutdown());
}

INSTANTIATE_TEST_SUITE_P(SigIntAndSigTerm, Signals, testing::Values(SIGINT, SIGTERM),
                         [](const testing::TestParamInfo<int>& info) {
                           return info.param == SIGINT ? std::string("SIGINT")
                                                       : std::string("SIGTERM");
                         });

}  // namespace
