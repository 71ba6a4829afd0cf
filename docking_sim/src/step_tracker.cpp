#include "docking_sim/step_tracker.hpp"

namespace docking_sim {

int phase_from_log_line(const std::string& line, int current) {
  if (line.find("docking finish!") != std::string::npos) {
    return 5;
  }
  if (line.find("Publish the Rush cmd") != std::string::npos) {
    return 6;
  }
  for (const char* end :
       {"] docking failed ***", "] docking timeout ...", "] retry failed error code"}) {
    if (line.find(end) != std::string::npos) {
      return 7;
    }
  }
  const auto at = line.find("] step ");
  if (at == std::string::npos || line.find(" ***********", at) == std::string::npos) {
    return current;
  }
  const char digit = line[at + 7];
  return digit >= '1' && digit <= '4' ? digit - '0' : current;
}

int StepTracker::update() {
  if (!in_.is_open()) {
    in_.open(path_);  // the controller may create its log after the simulator starts
    if (!in_.is_open()) {
      return phase_;
    }
  }
  std::string chunk;
  char buf[4096];
  while (in_.read(buf, sizeof buf) || in_.gcount() > 0) {
    chunk.append(buf, static_cast<size_t>(in_.gcount()));
  }
  in_.clear();  // keep reading after end of file as the log grows
  partial_ += chunk;
  size_t start = 0;
  for (size_t nl; (nl = partial_.find('\n', start)) != std::string::npos; start = nl + 1) {
    phase_ = phase_from_log_line(partial_.substr(start, nl - start), phase_);
  }
  partial_.erase(0, start);
  return phase_;
}

}  // namespace docking_sim
