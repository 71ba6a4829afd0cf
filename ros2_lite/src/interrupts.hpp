#pragma once

namespace ros2_lite {

// SIGINT and SIGTERM end the verb's loops, as rclpy's shutdown does, from the moment
// this is called; the signal that came, or 0.
void catch_interrupts();
int interrupt_signal();
// ros2cli's exit status after a signal ended the verb: 2 for SIGINT, 15 for SIGTERM.
[[noreturn]] void exit_for_signal();

}  // namespace ros2_lite
