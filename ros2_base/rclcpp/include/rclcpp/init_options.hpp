#pragma once

namespace rclcpp {

// Accepted for source compatibility; the layer has nothing to configure here.
class InitOptions {
 public:
  InitOptions() = default;
};

// Which signals rclcpp::init turns into a shutdown.
enum class SignalHandlerOptions { All, SigInt, SigTerm, None };

}  // namespace rclcpp
