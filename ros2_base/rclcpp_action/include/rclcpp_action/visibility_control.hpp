#pragma once

// rclcpp_action marks its exported symbols with these; a shared library on
// Linux exports everything, so they are empty here.
#define RCLCPP_ACTION_EXPORT
#define RCLCPP_ACTION_IMPORT
#define RCLCPP_ACTION_PUBLIC
#define RCLCPP_ACTION_LOCAL
#define RCLCPP_ACTION_PUBLIC_TYPE
