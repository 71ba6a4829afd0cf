#include "pid_controller.hpp"

#include <gtest/gtest.h>

#include <utility>

namespace {

// Aggregate order: kp, ki, kd, target, upper, lower.

TEST(PidController, ClampsLowerFirst) {
  PidController pid{1.0, 0.0, 0.0, 0.0, 0.1, 0.0};
  EXPECT_DOUBLE_EQ(pid.compute(-0.5), 0.0);
  EXPECT_DOUBLE_EQ(pid.compute(0.05), 0.05);
  EXPECT_DOUBLE_EQ(pid.compute(0.5), 0.1);
  // Lower above upper: below lower gives lower, anything else upper.
  pid = PidController{1.0, 0.0, 0.0, 0.0, -0.5, 0.5};
  const std::pair<double, double> cases[] = {{0.0, 0.5}, {1.0, -0.5}, {-1.0, 0.5}, {0.6, -0.5}};
  for (const auto& [error, out] : cases) EXPECT_DOUBLE_EQ(pid.compute(error), out) << error;
}

TEST(PidController, IntegralLagsOneCall) {
  PidController pid{0.2, 0.04, 0.0, 0.0, 1.0, -1.0};
  EXPECT_DOUBLE_EQ(pid.compute(0.1), 0.02);
  EXPECT_DOUBLE_EQ(pid.compute(0.1), 0.024);
  EXPECT_DOUBLE_EQ(pid.integral, 0.2);
}

TEST(PidController, DerivativeStartsFromZeroPreviousError) {
  PidController pid{1.0, 0.0, 0.5, 0.0, 1.0, -1.0};
  EXPECT_DOUBLE_EQ(pid.compute(0.2), 0.2 + 0.5 * 0.2);
  EXPECT_DOUBLE_EQ(pid.compute(0.2), 0.2);
  EXPECT_DOUBLE_EQ(pid.compute(0.1), 0.1 - 0.5 * 0.1);
}

TEST(PidController, IntegralWindsUpWhileSaturated) {
  PidController pid{0.0, 1.0, 0.0, 0.0, 1.0, -1.0};
  for (int i = 0; i < 5; ++i) pid.compute(1.0);
  EXPECT_DOUBLE_EQ(pid.integral, 5.0);
  // The output stays at the bound until the accumulated sum is worked off.
  for (double out : {1.0, 1.0, 1.0, 1.0, 1.0, 0.0, -1.0}) EXPECT_DOUBLE_EQ(pid.compute(-1.0), out);
}

TEST(PidController, TargetDoesNotChangeOutput) {
  PidController plain{0.3, 0.05, 0.02, 0.0, 0.4, -0.4};
  PidController shifted = plain;
  shifted.target = 2.5;
  for (double e : {0.3, -0.1, 0.8, 0.0, -1.2}) {
    EXPECT_DOUBLE_EQ(shifted.compute(e), plain.compute(e));
  }
}

}  // namespace
