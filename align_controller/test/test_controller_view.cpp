// What the controller makes of the simulator's messages, through the
// controller's own transforms.
#include <gtest/gtest.h>

#include <cmath>

#include "docking_logic.hpp"
#include "docking_sim/model.hpp"

namespace docking_sim {
namespace {

TEST(ControllerView, InvertedDetectionIsTheRobotPose) {
  for (double x : {0.2, 1.0, 1.8, 3.0}) {
    for (double y : {-0.7, -0.05, 0.0, 0.3}) {
      for (double h : {-3.1, -1.0, -0.1, 0.0, 0.25, 1.5, 3.1}) {
        const StationPose seen = station_in_robot({x, y, h});
        const Matrix3 back =
            inverse_station_transform(station_transform(seen.x, seen.y, seen.theta));
        EXPECT_NEAR(back[0][2], x, 1e-12) << x << " " << y << " " << h;
        EXPECT_NEAR(back[1][2], y, 1e-12) << x << " " << y << " " << h;
        EXPECT_NEAR(-seen.theta, h, 1e-12) << x << " " << y << " " << h;
      }
    }
  }
}

TEST(ControllerView, OdometryYawComesBack) {
  for (double yaw : {-3.0, -1.2, 0.0, 0.4, M_PI / 2, 3.0}) {
    const YawQuaternion q = yaw_quaternion(yaw);
    EXPECT_NEAR(yaw_from_quaternion(q.z, q.w), yaw, 1e-12) << yaw;
  }
}

}  // namespace
}  // namespace docking_sim
