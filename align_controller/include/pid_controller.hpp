#pragma once

// Discrete regulator: gains act per call, there is no time step.
struct PidController {
  double kp = 0.1;
  double ki = 0.01;
  double kd = 0.01;
  double target = 0.0;  // held for the configuration only; compute() gets the error itself
  double upper = 1.0;
  double lower = -1.0;
  double error = 0.0;
  double prev_error = 0.0;
  double integral = 0.0;

  // One regulator step on error e; returns the output bounded to [lower, upper].
  double compute(double e);
};
