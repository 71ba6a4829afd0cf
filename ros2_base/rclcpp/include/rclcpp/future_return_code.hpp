#pragma once

#include <ostream>
#include <string>

namespace rclcpp {

// How spin_until_future_complete ended.
enum class FutureReturnCode { SUCCESS, INTERRUPTED, TIMEOUT };

std::string to_string(const FutureReturnCode& future_return_code);
std::ostream& operator<<(std::ostream& os, const FutureReturnCode& future_return_code);

}  // namespace rclcpp
