#include "interrupts.hpp"

#include <csignal>

#include "verb.hpp"

namespace ros2_lite {
namespace {

volatile std::sig_atomic_t g_signal = 0;
extern "C" void on_signal(int signal) { g_signal = signal; }

}  // namespace

void catch_interrupts() {
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
}

int interrupt_signal() { return g_signal; }

void exit_for_signal() { throw ExitStatus{g_signal == SIGTERM ? 15 : 2, ""}; }

}  // namespace ros2_lite
