#pragma once

#include <cstddef>

#include "rclcpp/duration.hpp"

namespace rclcpp {

enum class HistoryPolicy { KeepLast, KeepAll };
enum class ReliabilityPolicy { Reliable, BestEffort };
// Unknown: what a discovered endpoint has when ROS 2 has no name for it.
enum class DurabilityPolicy { Volatile, TransientLocal, Unknown };
enum class LivelinessPolicy { Automatic, ManualByTopic, SystemDefault, Unknown };

struct QoSInitialization {
  QoSInitialization(HistoryPolicy history_policy, size_t history_depth)
      : history_policy(history_policy), depth(history_depth) {}

  HistoryPolicy history_policy;
  size_t depth;
};

struct KeepLast : QoSInitialization {
  explicit KeepLast(size_t depth) : QoSInitialization(HistoryPolicy::KeepLast, depth) {}
};

struct KeepAll : QoSInitialization {
  KeepAll() : QoSInitialization(HistoryPolicy::KeepAll, 0) {}
};

// rclcpp's defaults: reliable and volatile, with the history given; the
// durations unspecified (zero), which leaves the DDS defaults in place.
class QoS {
 public:
  explicit QoS(const QoSInitialization& init) : history_(init.history_policy), depth_(init.depth) {}
  QoS(size_t history_depth) : QoS(KeepLast(history_depth)) {}  // NOLINT: implicit as in rclcpp

  QoS& keep_last(size_t depth) {
    history_ = HistoryPolicy::KeepLast;
    depth_ = depth;
    return *this;
  }
  QoS& keep_all() {
    history_ = HistoryPolicy::KeepAll;
    depth_ = 0;
    return *this;
  }
  QoS& reliable() { return reliability(ReliabilityPolicy::Reliable); }
  QoS& best_effort() { return reliability(ReliabilityPolicy::BestEffort); }
  QoS& reliability(ReliabilityPolicy policy) {
    reliability_ = policy;
    return *this;
  }
  QoS& durability_volatile() { return durability(DurabilityPolicy::Volatile); }
  QoS& transient_local() { return durability(DurabilityPolicy::TransientLocal); }
  QoS& durability(DurabilityPolicy policy) {
    durability_ = policy;
    return *this;
  }

  QoS& deadline(const Duration& deadline) {
    deadline_ = deadline;
    return *this;
  }
  QoS& lifespan(const Duration& lifespan) {
    lifespan_ = lifespan;
    return *this;
  }
  QoS& liveliness(LivelinessPolicy policy) {
    liveliness_ = policy;
    return *this;
  }
  QoS& liveliness_lease_duration(const Duration& duration) {
    liveliness_lease_duration_ = duration;
    return *this;
  }

  HistoryPolicy history() const { return history_; }
  size_t depth() const { return depth_; }
  ReliabilityPolicy reliability() const { return reliability_; }
  DurabilityPolicy durability() const { return durability_; }
  Duration deadline() const { return deadline_; }
  Duration lifespan() const { return lifespan_; }
  LivelinessPolicy liveliness() const { return liveliness_; }
  Duration liveliness_lease_duration() const { return liveliness_lease_duration_; }

 private:
  HistoryPolicy history_;
  size_t depth_;
  ReliabilityPolicy reliability_ = ReliabilityPolicy::Reliable;
  DurabilityPolicy durability_ = DurabilityPolicy::Volatile;
  Duration deadline_{0, 0};
  Duration lifespan_{0, 0};
  LivelinessPolicy liveliness_ = LivelinessPolicy::SystemDefault;
  Duration liveliness_lease_duration_{0, 0};
};

// rmw's services default: keep-last 10, reliable, volatile.
class ServicesQoS : public QoS {
 public:
  explicit ServicesQoS(const QoSInitialization& init = KeepLast(10)) : QoS(init) {}
};

// What rclcpp's parameter services use: keep-last 1000, reliable, volatile.
class ParametersQoS : public QoS {
 public:
  explicit ParametersQoS(const QoSInitialization& init = KeepLast(1000)) : QoS(init) {}
};

// What /parameter_events uses: keep-last 1000, reliable, volatile.
class ParameterEventsQoS : public QoS {
 public:
  ParameterEventsQoS() : QoS(KeepLast(1000)) {}
};

// What /rosout uses: keep-last 1000, reliable, transient-local.
class RosoutQoS : public QoS {
 public:
  RosoutQoS() : QoS(KeepLast(1000)) { transient_local(); }
};

}  // namespace rclcpp
