#pragma once

#include <fstream>
#include <string>

namespace docking_sim {

// Docking phase shown by the controller's log: 0 before any step, 1 to 4 the
// steps, 5 docked (from "docking finish!": stop and wait), 6 the final push,
// 7 an attempt that ended without docking (failed, timed out or a refused
// retry check): whatever moves the robot then is not the controller.
int phase_from_log_line(const std::string& line, int current);

// Follows a growing log file (the controller's standard output redirected to
// it) and keeps the phase its newest lines show.
class StepTracker {
 public:
  explicit StepTracker(std::string path) : path_(std::move(path)) {}

  // Reads whatever was appended since the last call.
  int update();
  int phase() const { return phase_; }

 private:
  std::string path_;
  std::ifstream in_;
  std::string partial_;
  int phase_ = 0;
};

}  // namespace docking_sim
