#include "dds_log_capture.hpp"

#include <dds/dds.h>

#include <algorithm>

namespace rclcpp_dds {
namespace {

std::mutex g_capturing;

}  // namespace

DdsLogCapture::DdsLogCapture() : exclusive_(g_capturing) {
  dds_set_log_sink(&DdsLogCapture::on_message, this);
}

DdsLogCapture::~DdsLogCapture() {
  // Cyclone's own sink again; on return no thread of Cyclone still calls ours.
  dds_set_log_sink(nullptr, nullptr);
}

std::vector<std::string> DdsLogCapture::messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

void DdsLogCapture::on_message(void* self, const dds_log_data_t* data) {
  auto* capture = static_cast<DdsLogCapture*>(self);
  std::string message(data->message, data->size);
  // Some reasons span lines (OpenSSL's); one message of ours is one line.
  std::replace(message.begin(), message.end(), '\n', ' ');
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
    message.pop_back();
  }
  if (message.empty()) {
    return;
  }
  std::lock_guard<std::mutex> lock(capture->mutex_);
  capture->messages_.push_back(std::move(message));
}

}  // namespace rclcpp_dds
