// Rate: the schedule logic on a clock the test moves, and the real schedule
// on the system clock (these run alone: they measure time).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <thread>

#include "rclcpp/rclcpp.hpp"

namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;

// A clock the test sets by hand. Without rclcpp::init, sleep() computes its
// schedule but sleep_for returns at once, so only the schedule is observed.
struct ManualClock {
  using duration = nanoseconds;
  using rep = duration::rep;
  using period = duration::period;
  using time_point = std::chrono::time_point<ManualClock>;
  static constexpr bool is_steady = false;
  static time_point now() { return current; }
  static inline time_point current{};
};

using ManualRate = rclcpp::GenericRate<ManualClock>;

void at(milliseconds since_start) {
  ManualClock::current = ManualClock::time_point(std::chrono::hours(1)) + since_start;
}

TEST(RateSchedule, TicksFollowTheStartUntilAPeriodIsMissed) {
  at(milliseconds(0));
  ManualRate rate(milliseconds(100));
  at(milliseconds(30));
  EXPECT_TRUE(rate.sleep());  // until 100
  at(milliseconds(190));
  EXPECT_TRUE(rate.sleep());  // until 200, not 290
  at(milliseconds(320));
  EXPECT_FALSE(rate.sleep());  // tick 300 passed: late, no sleep
  at(milliseconds(350));
  EXPECT_TRUE(rate.sleep());  // the schedule stands: until 400
  at(milliseconds(850));
  EXPECT_FALSE(rate.sleep());  // a whole period missed: the schedule moves on from now
  at(milliseconds(860));
  EXPECT_TRUE(rate.sleep());  // rather than false at once for each missed tick
  at(-milliseconds(3600 * 1000 / 2));
  EXPECT_TRUE(rate.sleep());  // the clock went backwards: the schedule restarts
}

TEST(RateConstruction, FrequencyGivesThePeriod) {
  EXPECT_EQ(rclcpp::Rate(6.0).period(), nanoseconds(166666666));
  EXPECT_FALSE(rclcpp::Rate(1.0).is_steady());  // Humble's Rate is on the system clock
  EXPECT_THROW(rclcpp::Rate(0.0), std::invalid_argument);
  EXPECT_THROW(rclcpp::Rate(-6.0), std::invalid_argument);
}

class RateTiming : public testing::Test {
 protected:
  void SetUp() override {
    setenv("ROS_DOMAIN_ID", "19", 1);
    const char* argv[] = {"test_rate"};
    rclcpp::init(1, argv);
  }
  void TearDown() override { rclcpp::shutdown(); }
};

TEST_F(RateTiming, KeepsSixHertzOverThirtyTicks) {
  using Clock = std::chrono::system_clock;
  rclcpp::Rate rate(6.0);
  const auto start = Clock::now();
  const auto period = rate.period();
  for (int i = 1; i <= 30; ++i) {
    // Some work of varying length, well inside the period.
    std::this_thread::sleep_for(milliseconds(10 * (i % 5)));
    EXPECT_TRUE(rate.sleep());
    const auto offset = Clock::now() - (start + i * period);
    EXPECT_GT(offset, -milliseconds(2)) << "tick " << i;
    EXPECT_LT(offset, milliseconds(25)) << "tick " << i;
  }
  // Errors do not add up over the ticks.
  EXPECT_LT(Clock::now() - (start + 30 * period), milliseconds(10));
}

TEST_F(RateTiming, LateTickReturnsAtOnce) {
  using Clock = std::chrono::steady_clock;
  rclcpp::Rate rate(std::chrono::milliseconds(100));
  std::this_thread::sleep_for(milliseconds(150));
  const auto before = Clock::now();
  EXPECT_FALSE(rate.sleep());
  EXPECT_LT(Clock::now() - before, milliseconds(5));
  // Back on the original schedule: the next tick is at 200 ms.
  const auto resumed = Clock::now();
  EXPECT_TRUE(rate.sleep());
  EXPECT_LT(Clock::now() - resumed, milliseconds(75));
}

}  // namespace
