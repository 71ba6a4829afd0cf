#include "docking_server/client_report.hpp"

#include <cmath>
#include <cstdio>

namespace docking_server {

namespace {

constexpr double kDegrees = 180.0 / M_PI;

const char* state_name(uint8_t state) {
  switch (state) {
    case Dock::Feedback::DOCKING:
      return "docking";
    case Dock::Feedback::BACKING_OFF:
      return "backing off";
    case Dock::Feedback::RETRY_CHECK:
      return "retry check";
    case Dock::Feedback::STAGING:
      return "staging";
    case Dock::Feedback::SEARCHING:
      return "searching";
    default:
      return "unknown state";
  }
}

// Where the camera sees the robot, from a message with the pose fields.
template <typename Message>
std::string where(const Message& m) {
  if (!m.pose_known) {
    return "station not in view";
  }
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.2f m from the station, %.1f cm off the axis, heading %.1f deg",
                m.distance, m.lateral_offset * 100.0, m.heading * kDegrees);
  return buf;
}

std::string attempts(uint16_t n) { return std::to_string(n) + (n == 1 ? " attempt" : " attempts"); }

std::string distance(float d) {
  char buf[48];
  if (d < 0.0f) {
    return "station not in view";
  }
  std::snprintf(buf, sizeof buf, "%.2f m from the station", d);
  return buf;
}

// "not ...: NAME (code): message" for a failure, the cancel otherwise.
template <typename Result>
std::string unsuccessful(const char* what, const Result& r, GoalEnd end) {
  if (end == GoalEnd::kCanceled) {
    return "canceled";
  }
  return std::string("not ") + what + ": " + error_name(r.error_code) + " (" +
         std::to_string(r.error_code) + "): " + r.error_msg;
}

}  // namespace

std::string error_name(uint16_t code) {
  switch (code) {
    case Dock::Result::NONE:
      return "NONE";
    case Dock::Result::DOCK_FAILED:
      return "DOCK_FAILED";
    case Dock::Result::PERCEPTION_FROZEN:
      return "PERCEPTION_FROZEN";
    case Dock::Result::BACKOFF_STOPPED:
      return "BACKOFF_STOPPED";
    case Dock::Result::NO_RESULT:
      return "NO_RESULT";
    case Dock::Result::CONTROLLER_UNAVAILABLE:
      return "CONTROLLER_UNAVAILABLE";
    case Dock::Result::CANCELED:
      return "CANCELED";
    case Dock::Result::STATION_NOT_IN_VIEW:
      return "STATION_NOT_IN_VIEW";
    default:
      return "error " + std::to_string(code);
  }
}

std::string feedback_line(const Dock::Feedback& f) {
  char head[64];
  std::snprintf(head, sizeof head,
                "%6.1f s  attempt %u of %u, %s: ", f.elapsed.sec + f.elapsed.nanosec * 1e-9,
                f.attempt, f.max_attempts, state_name(f.state));
  return head + where(f);
}

std::string feedback_line(const Undock::Feedback& f, double elapsed) {
  char head[32];
  std::snprintf(head, sizeof head, "%6.1f s  undocking: ", elapsed);
  return head + distance(f.distance);
}

std::string result_line(const Dock::Result& r, GoalEnd end) {
  const std::string head =
      r.success && end == GoalEnd::kSucceeded ? "docked" : unsuccessful("docked", r, end);
  return head + "; " + attempts(r.num_attempts) + "; " + where(r);
}

std::string result_line(const Undock::Result& r, GoalEnd end) {
  const std::string head =
      r.success && end == GoalEnd::kSucceeded ? "undocked" : unsuccessful("undocked", r, end);
  return head + "; " + distance(r.distance);
}

}  // namespace docking_server
