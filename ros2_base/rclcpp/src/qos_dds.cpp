#include "qos_dds.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace rclcpp_dds {
namespace {

bool unspecified(const rclcpp::Duration& duration) { return duration.nanoseconds() == 0; }

// Both sides use the largest value for infinite.
dds_duration_t to_dds(const rclcpp::Duration& duration) { return duration.nanoseconds(); }
rclcpp::Duration from_dds(dds_duration_t duration) {
  return rclcpp::Duration::from_nanoseconds(duration);
}

}  // namespace

dds_qos_t* to_dds_qos(const rclcpp::QoS& qos) {
  dds_qos_t* q = dds_create_qos();
  dds_history_kind_t history = DDS_HISTORY_KEEP_ALL;
  int32_t depth = DDS_LENGTH_UNLIMITED;
  if (qos.history() == rclcpp::HistoryPolicy::KeepLast) {
    // Depth 0 means "system default" in ROS 2, which is 1 on Cyclone.
    history = DDS_HISTORY_KEEP_LAST;
    depth = static_cast<int32_t>(
        std::min<size_t>(std::max<size_t>(qos.depth(), 1), std::numeric_limits<int32_t>::max()));
  }
  dds_qset_history(q, history, depth);
  dds_qset_reliability(q,
                       qos.reliability() == rclcpp::ReliabilityPolicy::Reliable
                           ? DDS_RELIABILITY_RELIABLE
                           : DDS_RELIABILITY_BEST_EFFORT,
                       DDS_INFINITY);
  if (qos.durability() == rclcpp::DurabilityPolicy::TransientLocal) {
    dds_qset_durability(q, DDS_DURABILITY_TRANSIENT_LOCAL);
    dds_qset_durability_service(q, 0, history, depth, DDS_LENGTH_UNLIMITED, DDS_LENGTH_UNLIMITED,
                                DDS_LENGTH_UNLIMITED);
  } else {
    dds_qset_durability(q, DDS_DURABILITY_VOLATILE);
  }
  if (!unspecified(qos.lifespan())) {
    dds_qset_lifespan(q, to_dds(qos.lifespan()));
  }
  if (!unspecified(qos.deadline())) {
    dds_qset_deadline(q, to_dds(qos.deadline()));
  }
  const dds_duration_t lease = unspecified(qos.liveliness_lease_duration())
                                   ? DDS_INFINITY
                                   : to_dds(qos.liveliness_lease_duration());
  dds_qset_liveliness(q,
                      qos.liveliness() == rclcpp::LivelinessPolicy::ManualByTopic
                          ? DDS_LIVELINESS_MANUAL_BY_TOPIC
                          : DDS_LIVELINESS_AUTOMATIC,
                      lease);
  // A writer that goes away must not dispose what late joiners should still see.
  dds_qset_writer_data_lifecycle(q, false);
  const dds_data_representation_id_t xcdr1 = DDS_DATA_REPRESENTATION_XCDR1;
  dds_qset_data_representation(q, 1, &xcdr1);
  return q;
}

rclcpp::QoS from_dds_qos(const dds_qos_t* qos) {
  rclcpp::QoS result(rclcpp::KeepLast(0));
  dds_history_kind_t history;
  int32_t depth;
  if (dds_qget_history(qos, &history, &depth)) {
    if (history == DDS_HISTORY_KEEP_ALL) {
      result.keep_all();
    } else {
      result.keep_last(static_cast<size_t>(std::max(depth, 0)));
    }
  }
  dds_reliability_kind_t reliability;
  dds_duration_t max_blocking;
  if (dds_qget_reliability(qos, &reliability, &max_blocking)) {
    result.reliability(reliability == DDS_RELIABILITY_RELIABLE
                           ? rclcpp::ReliabilityPolicy::Reliable
                           : rclcpp::ReliabilityPolicy::BestEffort);
  }
  dds_durability_kind_t durability;
  if (dds_qget_durability(qos, &durability)) {
    result.durability(durability == DDS_DURABILITY_VOLATILE ? rclcpp::DurabilityPolicy::Volatile
                      : durability == DDS_DURABILITY_TRANSIENT_LOCAL
                          ? rclcpp::DurabilityPolicy::TransientLocal
                          : rclcpp::DurabilityPolicy::Unknown);
  }
  dds_duration_t duration;
  result.deadline(from_dds(dds_qget_deadline(qos, &duration) ? duration : DDS_INFINITY));
  result.lifespan(from_dds(dds_qget_lifespan(qos, &duration) ? duration : DDS_INFINITY));
  dds_liveliness_kind_t liveliness;
  if (dds_qget_liveliness(qos, &liveliness, &duration)) {
    result.liveliness(liveliness == DDS_LIVELINESS_AUTOMATIC ? rclcpp::LivelinessPolicy::Automatic
                      : liveliness == DDS_LIVELINESS_MANUAL_BY_TOPIC
                          ? rclcpp::LivelinessPolicy::ManualByTopic
                          : rclcpp::LivelinessPolicy::Unknown);
    result.liveliness_lease_duration(from_dds(duration));
  }
  return result;
}

}  // namespace rclcpp_dds
