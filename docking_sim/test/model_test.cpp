#include "docking_sim/model.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace docking_sim {
namespace {

TEST(StationGeometry, HandComputedPoses) {
  const StationPose ahead = station_in_robot({1.0, 0.0, 0.0});
  EXPECT_DOUBLE_EQ(ahead.x, -1.0);  // the station is behind the robot
  EXPECT_DOUBLE_EQ(ahead.y, 0.0);
  EXPECT_DOUBLE_EQ(ahead.theta, 0.0);

  const StationPose beside = station_in_robot({0.0, 1.0, M_PI / 2});
  EXPECT_NEAR(beside.x, -1.0, 1e-12);
  EXPECT_NEAR(beside.y, 0.0, 1e-12);
  EXPECT_DOUBLE_EQ(beside.theta, -M_PI / 2);

  const StationPose general = station_in_robot({2.0, 0.5, 0.3});
  EXPECT_NEAR(general.x, -(2.0 * std::cos(0.3) + 0.5 * std::sin(0.3)), 1e-12);
  EXPECT_NEAR(general.y, 2.0 * std::sin(0.3) - 0.5 * std::cos(0.3), 1e-12);
  EXPECT_DOUBLE_EQ(general.theta, -0.3);
}

TEST(YawQuaternion, HalfAngleAboutZ) {
  const auto q = yaw_quaternion(M_PI / 2);
  EXPECT_NEAR(q.z, std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(q.w, std::sqrt(0.5), 1e-12);
  const auto back = yaw_quaternion(M_PI);
  EXPECT_NEAR(back.z, 1.0, 1e-12);
  EXPECT_NEAR(back.w, 0.0, 1e-12);
}

TEST(WrapAngle, StaysInHalfOpenRange) {
  EXPECT_DOUBLE_EQ(wrap_angle(0.5), 0.5);
  EXPECT_DOUBLE_EQ(wrap_angle(M_PI), M_PI);
  EXPECT_DOUBLE_EQ(wrap_angle(-M_PI), M_PI);
  EXPECT_NEAR(wrap_angle(3.0 * M_PI), M_PI, 1e-12);
  EXPECT_NEAR(wrap_angle(3.2), 3.2 - 2.0 * M_PI, 1e-12);
}

TEST(Unicycle, StraightTurnAndArc) {
  const Pose2d back = integrate_unicycle({1.0, 0.0, 0.0}, {-0.1, 0.0}, 1.0);
  EXPECT_DOUBLE_EQ(back.x, 0.9);
  EXPECT_DOUBLE_EQ(back.y, 0.0);

  const Pose2d slanted = integrate_unicycle({0.0, 0.0, M_PI / 6}, {0.2, 0.0}, 0.5);
  EXPECT_NEAR(slanted.x, 0.1 * std::cos(M_PI / 6), 1e-12);
  EXPECT_NEAR(slanted.y, 0.05, 1e-12);

  const Pose2d spun = integrate_unicycle({1.0, 0.2, 0.0}, {0.0, 0.2}, 0.5);
  EXPECT_DOUBLE_EQ(spun.x, 1.0);
  EXPECT_DOUBLE_EQ(spun.y, 0.2);
  EXPECT_DOUBLE_EQ(spun.heading, 0.1);

  // A quarter circle of radius 2/pi.
  const Pose2d arc = integrate_unicycle({0.0, 0.0, 0.0}, {1.0, M_PI / 2}, 1.0);
  EXPECT_NEAR(arc.x, 2.0 / M_PI, 1e-12);
  EXPECT_NEAR(arc.y, 2.0 / M_PI, 1e-12);
  EXPECT_NEAR(arc.heading, M_PI / 2, 1e-12);

  const Pose2d wrapped = integrate_unicycle({0.0, 0.0, 3.1}, {0.0, 0.1}, 1.0);
  EXPECT_NEAR(wrapped.heading, 3.2 - 2.0 * M_PI, 1e-12);
}

TEST(AccelerationLimit, RampsAndReachesTarget) {
  const AccelLimits limits{0.5, 2.0};
  const Velocity first = limit_acceleration({}, {-0.1, 0.3}, limits, 0.01);
  EXPECT_DOUBLE_EQ(first.v, -0.005);
  EXPECT_DOUBLE_EQ(first.w, 0.02);

  // Within one step of the target it lands exactly on it.
  const Velocity close = limit_acceleration({-0.098, 0.29}, {-0.1, 0.3}, limits, 0.01);
  EXPECT_DOUBLE_EQ(close.v, -0.1);
  EXPECT_DOUBLE_EQ(close.w, 0.3);

  const Velocity braking = limit_acceleration({-0.1, 0.0}, {}, limits, 0.01);
  EXPECT_DOUBLE_EQ(braking.v, -0.095);

  const Velocity unlimited = limit_acceleration({}, {-0.1, 0.3}, {}, 0.01);
  EXPECT_DOUBLE_EQ(unlimited.v, -0.1);
  EXPECT_DOUBLE_EQ(unlimited.w, 0.3);
}

TEST(Visibility, RangeAndRearFieldOfView) {
  EXPECT_TRUE(in_view({-1.0, 0.0, 0.0}, 3.0, M_PI / 2));
  EXPECT_FALSE(in_view({-3.5, 0.0, 0.0}, 3.0, M_PI / 2));
  // Station ahead of the robot: the rear camera cannot see it.
  EXPECT_FALSE(in_view({1.0, 0.0, 0.0}, 3.0, M_PI / 2));
  // Off the rear axis by 0.7 rad (inside 45 degrees) and by 0.8 rad (outside), either side.
  for (double side : {1.0, -1.0}) {
    EXPECT_TRUE(in_view({-std::cos(0.7), side * std::sin(0.7), 0.0}, 3.0, M_PI / 2));
    EXPECT_FALSE(in_view({-std::cos(0.8), side * std::sin(0.8), 0.0}, 3.0, M_PI / 2));
  }
}

TEST(LatencyQueue, ReleasesAfterLatencyNewestFirst) {
  LatencyQueue<int> q(0.125);
  q.push(0.0, 1);
  q.push(0.0625, 2);
  EXPECT_FALSE(q.pop_due(0.1));
  EXPECT_EQ(q.pop_due(0.125), 1);
  EXPECT_FALSE(q.pop_due(0.15));
  q.push(0.25, 3);
  q.push(0.3125, 4);
  // A consumer that looks late gets the newest due value; older ones are gone.
  EXPECT_EQ(q.pop_due(1.0), 4);
  EXPECT_FALSE(q.pop_due(2.0));

  LatencyQueue<int> none(0.0);
  none.push(0.5, 7);
  EXPECT_EQ(none.pop_due(0.5), 7);
}

}  // namespace
}  // namespace docking_sim
