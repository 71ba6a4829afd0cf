// Bounds and bands of the approach laws; the transforms and the odometry yaw
// are checked on the wire by the node tests.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "docking_logic.hpp"

namespace {

TEST(DockingLogic, PlanVxFarBandRampsToTheLimitAndHoldsIt) {
  double vx = 0.0;
  for (int cycle = 1; cycle <= 15; ++cycle) {
    vx = plan_vx(1.0, vx, 0.15);
    EXPECT_NEAR(vx, -0.01 * cycle, 1e-12) << cycle;
  }
  EXPECT_EQ(plan_vx(1.0, -0.15, 0.15), -0.15);
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
  EXPECT_NEAR(plan_vx(0.2, -0.1, 0.15), -0.092, 1e-12);
  EXPECT_NEAR(plan_vx(0.2, -0.005, 0.15), 0.003, 1e-12);
  // At or beyond the limit (coming in from the middle band at -0.2), or
  // already moving forwards: stopped.
  for (double last : {-0.15, -0.2, 0.003, 0.0}) EXPECT_EQ(plan_vx(0.2, last, 0.15), 0.0) << last;
}

TEST(DockingLogic, DockedTestIsStrictOnEveryBound) {
  EXPECT_TRUE(is_docked({0.2, 0.0, 0.0}, 0.25));
  EXPECT_TRUE(is_docked({-0.2, -0.009, -0.099}, 0.25));
  for (const Triple& pose :
       {Triple{0.25, 0.0, 0.0}, Triple{0.001, 0.0, 0.0}, Triple{0.2, 0.01, 0.0},
        Triple{0.2, 0.0, 0.1}, Triple{0.2, 0.0, -0.1}, Triple{10.0, 10.0, -2.0}}) {
    EXPECT_FALSE(is_docked(pose, 0.25)) << pose[0] << ", " << pose[1] << ", " << pose[2];
  }
}

TEST(DockingLogic, FrozenNeedsThreeAgreeingSamplesOfBoth) {
  EXPECT_TRUE(is_pose_frozen(0.05, 0.05, 0.05, -0.1, -0.1, -0.1));
  EXPECT_TRUE(is_pose_frozen(0.05, 0.05004, 0.05008, 0.0, 0.0, 0.0));
  EXPECT_FALSE(is_pose_frozen(0.05, 0.05, 0.0, -0.1, -0.1, -0.1));
  EXPECT_FALSE(is_pose_frozen(0.05, 0.05, 0.05, -0.1, -0.1, 0.0));
  EXPECT_FALSE(is_pose_frozen(0.05, 0.0502, 0.05, -0.1, -0.1, -0.1));
}

// The bounds themselves pass; the next double beyond them, and anything
// non-finite, does not.
TEST(DockingLogic, PlausibleInputHasClosedBounds) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const auto beyond = [](double bound) { return std::nextafter(bound, 2 * bound); };
  EXPECT_TRUE(plausible_docking_pose(100.0, -100.0, -kMaxStationAngle));
  EXPECT_TRUE(plausible_docking_pose(0.0, 0.0, 0.0));
  for (const Triple& pose :
       {Triple{beyond(100.0), 0.0, 0.0}, Triple{0.0, beyond(-100.0), 0.0},
        Triple{0.0, 0.0, beyond(kMaxStationAngle)}, Triple{1.5e308, 1.5e308, -0.3},
        Triple{1.0, 0.0, 3e300}, Triple{-1e200, 1e200, 0.1}, Triple{nan, 0.0, 0.0},
        Triple{0.0, -inf, 0.0}, Triple{0.0, 0.0, inf}}) {
    EXPECT_FALSE(plausible_docking_pose(pose[0], pose[1], pose[2]))
        << pose[0] << ", " << pose[1] << ", " << pose[2];
  }
  // Any finite quaternion gives a yaw, a zero or a huge one too.
  EXPECT_TRUE(plausible_odometry(1e6, -1e6, 0.0, 0.0));
  EXPECT_TRUE(plausible_odometry(0.0, 0.0, 1e308, -1e308));
  EXPECT_FALSE(plausible_odometry(beyond(1e6), 0.0, 0.0, 1.0));
  EXPECT_FALSE(plausible_odometry(0.0, -inf, 0.0, 1.0));
  EXPECT_FALSE(plausible_odometry(0.0, 0.0, nan, 1.0));
  EXPECT_FALSE(plausible_odometry(0.0, 0.0, 0.0, inf));
}

TEST(DockingLogic, AngleToleranceAndPushHaveOpenBounds) {
  EXPECT_TRUE(within_angle_tolerance(0.05));
  EXPECT_FALSE(within_angle_tolerance(-kAngleTolerance));
  EXPECT_TRUE(push_needed(0.2));
  EXPECT_TRUE(push_needed(-0.2));
  EXPECT_FALSE(push_needed(0.01));
  EXPECT_FALSE(push_needed(0.35));
}

}  // namespace
