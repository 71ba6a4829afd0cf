#ifndef RCLCPP_DDS__DDS_LOG_CAPTURE_HPP_
#define RCLCPP_DDS__DDS_LOG_CAPTURE_HPP_

#include <dds/ddsrt/log.h>

#include <mutex>
#include <string>
#include <vector>

namespace rclcpp_dds {

// Takes Cyclone DDS's error and warning messages while it lives, instead of letting them go
// to Cyclone's log, so that a failure can be told in one message of ours. Cyclone has one log
// sink per process: captures follow one another.
class DdsLogCapture {
 public:
  DdsLogCapture();
  DdsLogCapture(const DdsLogCapture&) = delete;
  DdsLogCapture& operator=(const DdsLogCapture&) = delete;
  ~DdsLogCapture();

  // The messages so far, each without its line end.
  std::vector<std::string> messages() const;

 private:
  static void on_message(void* self, const dds_log_data_t* data);

  std::unique_lock<std::mutex> exclusive_;
  mutable std::mutex mutex_;
  std::vector<std::string> messages_;
};

}  // namespace rclcpp_dds

#endif  // RCLCPP_DDS__DDS_LOG_CAPTURE_HPP_
