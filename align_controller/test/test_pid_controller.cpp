#include "pid_controller.hpp"

#include <gtest/gtest.h>

namespace {

PidController make_pid(double kp, double ki, double kd, double upper, double lower) {
  PidController pid;
  pid.kp = kp;
  pid.ki = ki;
  pid.kd = kd;
  pid.upper = upper;
  pid.lower = lower;
  return pid;
}

TEST(PidControllerBounds, ClampsToLowerAndUpper) {
  PidController pid = make_pid(1.0, 0.0, 0.0, 0.1, 0.0);
  EXPECT_DOUBLE_EQ(pid.compute(-0.5), 0.0);
  EXPECT_DOUBLE_EQ(pid.compute(0.05), 0.05);
  EXPECT_DOUBLE_EQ(pid.compute(0.5), 0.1);
}

TEST(PidControllerBounds, LowerIsTestedFirstWhenAboveUpper) {
  PidController pid = make_pid(1.0, 0.0, 0.0, -0.5, 0.5);
  EXPECT_DOUBLE_EQ(pid.compute(0.0), 0.5);   // below lower
  EXPECT_DOUBLE_EQ(pid.compute(1.0), -0.5);  // not below lower, above upper
  EXPECT_DOUBLE_EQ(pid.compute(-1.0), 0.5);
  EXPECT_DOUBLE_EQ(pid.compute(0.6), -0.5);
}

TEST(PidControllerState, IntegralLagsOneCall) {
  PidController pid = make_pid(0.2, 0.04, 0.0, 1.0, -1.0);
  EXPECT_DOUBLE_EQ(pid.compute(0.1), 0.02);
  EXPECT_DOUBLE_EQ(pid.compute(0.1), 0.024);
  EXPECT_DOUBLE_EQ(pid.integral, 0.2);
}

TEST(PidControllerState, DerivativeStartsFromZeroPreviousError) {
  PidController pid = make_pid(1.0, 0.0, 0.5, 1.0, -1.0);
  EXPECT_DOUBLE_EQ(pid.compute(0.2), 0.2 + 0.5 * 0.2);
  EXPECT_DOUBLE_EQ(pid.compute(0.2), 0.2);
  EXPECT_DOUBLE_EQ(pid.compute(0.1), 0.1 - 0.5 * 0.1);
  EXPECT_DOUBLE_EQ(pid.error, 0.1);
  EXPECT_DOUBLE_EQ(pid.prev_error, 0.1);
}

TEST(PidControllerState, IntegralWindsUpWhileSaturated) {
  PidController pid = make_pid(0.0, 1.0, 0.0, 1.0, -1.0);
  for (int i = 0; i < 5; ++i) {
    pid.compute(1.0);
  }
  EXPECT_DOUBLE_EQ(pid.integral, 5.0);
  // The output stays at the bound until the accumulated sum is worked off.
  const double expected[] = {1.0, 1.0, 1.0, 1.0, 1.0, 0.0, -1.0};
  for (double out : expected) {
    EXPECT_DOUBLE_EQ(pid.compute(-1.0), out);
  }
}

TEST(PidControllerState, TargetDoesNotChangeOutput) {
  PidController plain = make_pid(0.3, 0.05, 0.02, 0.4, -0.4);
  PidController shifted = plain;
  shifted.target = 2.5;
  for (double e : {0.3, -0.1, 0.8, 0.0, -1.2}) {
    EXPECT_DOUBLE_EQ(shifted.compute(e), plain.compute(e));
  }
}

TEST(PidControllerDefaults, DefaultConstructedValues) {
  const PidController pid;
  EXPECT_DOUBLE_EQ(pid.kp, 0.1);
  EXPECT_DOUBLE_EQ(pid.ki, 0.01);
  EXPECT_DOUBLE_EQ(pid.kd, 0.01);
  EXPECT_DOUBLE_EQ(pid.target, 0.0);
  EXPECT_DOUBLE_EQ(pid.upper, 1.0);
  EXPECT_DOUBLE_EQ(pid.lower, -1.0);
  EXPECT_DOUBLE_EQ(pid.error, 0.0);
  EXPECT_DOUBLE_EQ(pid.prev_error, 0.0);
  EXPECT_DOUBLE_EQ(pid.integral, 0.0);
}

}  // namespace
