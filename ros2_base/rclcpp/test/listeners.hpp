#pragma once

// test_peer's `listen` mode seen from the test: what it heard.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "geometry_msgs/msg/twist.hpp"
#include "rclcpp/rclcpp.hpp"
#include "test_support/child_process.hpp"

inline size_t count_received(const test_support::ChildProcess& peer) {
  const auto lines = peer.stdout_lines();
  return std::count_if(lines.begin(), lines.end(),
                       [](const std::string& l) { return l.rfind("received", 0) == 0; });
}

// Publishes on topic until `hears` has heard plenty, well past discovery;
// `deaf` must have heard nothing.
inline void publish_until_heard(const std::string& topic, test_support::ChildProcess& hears,
                                test_support::ChildProcess& deaf) {
  constexpr std::chrono::milliseconds kStartup{10000};
  ASSERT_TRUE(hears.wait_for_line_containing("ready", kStartup)) << hears.stderr_text();
  ASSERT_TRUE(deaf.wait_for_line_containing("ready", kStartup)) << deaf.stderr_text();
  auto node = std::make_shared<rclcpp::Node>("talker");
  auto pub = node->create_publisher<geometry_msgs::msg::Twist>(topic, 10);
  geometry_msgs::msg::Twist msg;
  ASSERT_TRUE(test_support::wait_until(
      [&] {
        msg.linear.x += 1.0;
        pub->publish(msg);
        return count_received(hears) >= 20;
      },
      std::chrono::milliseconds(20000)))
      << hears.stdout_text();
  EXPECT_EQ(pub->get_subscription_count(), 1u);
  EXPECT_EQ(count_received(deaf), 0u) << deaf.stdout_text();
}
