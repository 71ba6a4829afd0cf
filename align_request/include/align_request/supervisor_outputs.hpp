#pragma once

#include <string>

namespace align_request {

// What the supervisor sends and says; a shell wires it to the topics and
// standard output, tests record it.
class SupervisorOutputs {
 public:
  virtual ~SupervisorOutputs() = default;
  virtual void request(int enable, int action, int success) = 0;  // on /align_request
  // On /cmd_vel: linear.x forward, angular.z; both 0 stop the robot.
  virtual void velocity(double linear_x, double angular_z) = 0;
  virtual void line(const std::string& text) = 0;
};

}  // namespace align_request
