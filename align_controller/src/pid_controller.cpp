#include "pid_controller.hpp"

double PidController::compute(double e) {
  error = e;
  // The integral term still holds the earlier errors only.
  const double u = kp * e + ki * integral + kd * (e - prev_error);
  double output = u;
  // Lower bound first: with lower above upper a low output still ends at lower.
  if (u < lower) {
    output = lower;
  } else if (u > upper) {
    output = upper;
  }
  // No anti-windup: the raw error is summed even while the output is bounded.
  integral += e;
  prev_error = e;
  return output;
}
