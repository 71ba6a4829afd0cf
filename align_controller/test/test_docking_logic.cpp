#include <gtest/gtest.h>

#include <cmath>

#include "docking_logic.hpp"

namespace {

constexpr double kEps = 1e-12;

Matrix3 product(const Matrix3& a, const Matrix3& b) {
  Matrix3 p{};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) p[r][c] += a[r][k] * b[k][c];
  return p;
}

TEST(DockingLogic, StationTransformGivesRobotPositionInStationFrame) {
  const Matrix3 ahead = inverse_station_transform(station_transform(1.0, 0.0, 0.0));
  EXPECT_NEAR(ahead[0][2], -1.0, kEps);
  EXPECT_NEAR(ahead[1][2], 0.0, kEps);

  const Matrix3 left = inverse_station_transform(station_transform(0.0, 1.0, M_PI / 2));
  EXPECT_NEAR(left[0][2], -1.0, kEps);
  EXPECT_NEAR(left[1][2], 0.0, kEps);

  const Matrix3 t = station_transform(2.0, 0.5, 0.3);
  const Matrix3 inv = inverse_station_transform(t);
  EXPECT_NEAR(inv[0][2], -(2.0 * std::cos(0.3) + 0.5 * std::sin(0.3)), kEps);
  EXPECT_NEAR(inv[1][2], 2.0 * std::sin(0.3) - 0.5 * std::cos(0.3), kEps);
  const Matrix3 identity = product(t, inv);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(identity[r][c], r == c ? 1.0 : 0.0, kEps);
}

TEST(DockingLogic, YawOfRotationsAboutTheVerticalAxis) {
  EXPECT_NEAR(yaw_from_quaternion(std::sin(M_PI / 4), std::sin(M_PI / 4)), M_PI / 2, kEps);
  EXPECT_NEAR(yaw_from_quaternion(1.0, 0.0), M_PI, kEps);
  // An all-zero orientation reads as heading 0, not as an error.
  EXPECT_EQ(yaw_from_quaternion(0.0, 0.0), 0.0);
}

TEST(DockingLogic, PlanVxFarBandRampsToTheLimitAndHoldsIt) {
  double vx = 0.0;
  vx = plan_vx(1.0, vx, 0.15);
  EXPECT_NEAR(vx, -0.01, kEps);
  vx = plan_vx(1.0, vx, 0.15);
  EXPECT_NEAR(vx, -0.02, kEps);
  int cycles = 2;
  while (vx > -0.15 && cycles < 30) {
    vx = plan_vx(1.0, vx, 0.15);
    ++cycles;
  }
  EXPECT_LE(cycles, 16);
  EXPECT_GE(vx, -0.16);
  EXPECT_EQ(plan_vx(1.0, vx, 0.15), -0.15);
  EXPECT_EQ(plan_vx(1.0, -0.2, 0.15), -0.15);
  // Moving forwards in the far band: stop first.
  EXPECT_EQ(plan_vx(1.0, 0.05, 0.15), 0.0);
}

TEST(DockingLogic, PlanVxMiddleBandAndBoundsCommandFixedSpeed) {
  for (double d : {0.45, 0.5, 0.3, 0.001, 0.0}) {
    for (double last : {0.0, -0.15, 0.05}) EXPECT_EQ(plan_vx(d, last, 0.15), -0.2) << d;
  }
}

TEST(DockingLogic, PlanVxNearBandDeceleratesAndStops) {
  EXPECT_EQ(plan_vx(0.2, -0.15, 0.15), 0.0);
  EXPECT_NEAR(plan_vx(0.2, -0.1, 0.15), -0.092, kEps);
  EXPECT_NEAR(plan_vx(0.2, -0.005, 0.15), 0.003, kEps);
  EXPECT_EQ(plan_vx(0.2, 0.003, 0.15), 0.0);
  // Coming in from the middle band at -0.2: stopped, and stays stopped.
  const double first = plan_vx(0.2, -0.2, 0.15);
  EXPECT_EQ(first, 0.0);
  EXPECT_EQ(plan_vx(0.1, first, 0.15), 0.0);
}

TEST(DockingLogic, DockedTestIsStrictOnEveryBound) {
  EXPECT_TRUE(is_docked({0.2, 0.0, 0.0}, 0.25));
  EXPECT_TRUE(is_docked({-0.2, -0.009, -0.099}, 0.25));
  EXPECT_FALSE(is_docked({0.25, 0.0, 0.0}, 0.25));
  EXPECT_FALSE(is_docked({0.001, 0.0, 0.0}, 0.25));
  EXPECT_FALSE(is_docked({0.0005, 0.0, 0.0}, 0.25));
  EXPECT_FALSE(is_docked({0.2, 0.01, 0.0}, 0.25));
  EXPECT_FALSE(is_docked({0.2, 0.0, 0.1}, 0.25));
  EXPECT_FALSE(is_docked({0.2, 0.0, -0.1}, 0.25));
  EXPECT_FALSE(is_docked({10.0, 10.0, -2.0}, 0.25));
}

TEST(DockingLogic, FrozenNeedsThreeAgreeingSamplesOfBoth) {
  EXPECT_TRUE(is_pose_frozen(0.05, 0.05, 0.05, -0.1, -0.1, -0.1));
  EXPECT_TRUE(is_pose_frozen(0.05, 0.05004, 0.05008, 0.0, 0.0, 0.0));
  EXPECT_FALSE(is_pose_frozen(0.05, 0.05, 0.0, -0.1, -0.1, -0.1));
  EXPECT_FALSE(is_pose_frozen(0.05, 0.05, 0.05, -0.1, -0.1, 0.0));
  EXPECT_FALSE(is_pose_frozen(0.05, 0.0502, 0.05, -0.1, -0.1, -0.1));
}

TEST(DockingLogic, TurnRateOpposesTheErrorWithoutWrapping) {
  EXPECT_EQ(turn_rate(0.3, 0.2), -0.2);
  EXPECT_EQ(turn_rate(-0.3, 0.1), 0.1);
  EXPECT_EQ(turn_rate(0.0, 0.2), 0.0);
  // 6.2 rad is the long way round, and it is taken.
  EXPECT_EQ(turn_rate(3.1 - (-3.1), 0.2), -0.2);
  EXPECT_TRUE(within_angle_tolerance(0.05));
  EXPECT_FALSE(within_angle_tolerance(-kAngleTolerance));
}

TEST(DockingLogic, PushNeededHasOpenBounds) {
  EXPECT_TRUE(push_needed(0.2));
  EXPECT_TRUE(push_needed(-0.2));
  EXPECT_FALSE(push_needed(0.01));
  EXPECT_FALSE(push_needed(0.35));
  EXPECT_FALSE(push_needed(0.005));
}

}  // namespace
