#include "loopback_capture.hpp"

#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

namespace tools_test {

LoopbackCapture::LoopbackCapture(std::string marker) : marker_(std::move(marker)) {
  fd_ = ::socket(AF_PACKET, SOCK_RAW, htons(ETH_P_ALL));
  if (fd_ < 0) {
    error_ = std::string("AF_PACKET raw socket: ") + std::strerror(errno);
    return;
  }
  sockaddr_ll address{};
  address.sll_family = AF_PACKET;
  address.sll_protocol = htons(ETH_P_ALL);
  address.sll_ifindex = static_cast<int>(if_nametoindex("lo"));
  // A short receive timeout lets the reader see the stop request.
  const timeval timeout{0, 100000};
  if (address.sll_ifindex == 0 ||
      ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
    error_ = std::string("binding to lo: ") + std::strerror(errno);
    ::close(fd_);
    fd_ = -1;
    return;
  }
  reader_ = std::thread([this] { read_loop(); });
}

LoopbackCapture::~LoopbackCapture() {
  stop_ = true;
  if (reader_.joinable()) reader_.join();
  if (fd_ >= 0) ::close(fd_);
}

void LoopbackCapture::read_loop() {
  std::vector<char> frame(65536);
  while (!stop_) {
    const ssize_t n = ::recv(fd_, frame.data(), frame.size(), 0);
    if (n <= 0) continue;
    ++frames_;
    if (std::string_view(frame.data(), static_cast<size_t>(n)).find(marker_) !=
        std::string_view::npos) {
      ++hits_;
    }
  }
}

}  // namespace tools_test
