#pragma once

#include <memory>
#include <string>

#include "builtin_interfaces/msg/time.hpp"
#include "rclcpp_dds/type_support.hpp"

namespace std_msgs::msg {

struct Header {
  builtin_interfaces::msg::Time stamp;
  std::string frame_id;

  using SharedPtr = std::shared_ptr<Header>;
  using ConstSharedPtr = std::shared_ptr<const Header>;
  using UniquePtr = std::unique_ptr<Header>;

  bool operator==(const Header& other) const {
    return stamp == other.stamp && frame_id == other.frame_id;
  }
  bool operator!=(const Header& other) const { return !(*this == other); }
};

}  // namespace std_msgs::msg

namespace rclcpp_dds {
template <>
const TypeSupport& type_support<std_msgs::msg::Header>();
}  // namespace rclcpp_dds
