#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace tools_test {

// Every frame on the loopback interface, read through an AF_PACKET raw socket
// bound to `lo` while the object lives, searched for one byte string. Needs
// CAP_NET_RAW: available() says whether the socket could be opened.
class LoopbackCapture {
 public:
  explicit LoopbackCapture(std::string marker);
  LoopbackCapture(const LoopbackCapture&) = delete;
  LoopbackCapture& operator=(const LoopbackCapture&) = delete;
  ~LoopbackCapture();

  bool available() const { return fd_ >= 0; }
  const std::string& error() const { return error_; }
  long frames() const { return frames_; }
  // Frames that contained the marker.
  long hits() const { return hits_; }

 private:
  void read_loop();
  std::string marker_;
  int fd_ = -1;
  std::string error_;
  std::atomic<bool> stop_{false};
  std::atomic<long> frames_{0}, hits_{0};
  std::thread reader_;
};

}  // namespace tools_test
