#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "test_support/child_process.hpp"

namespace action_test {

using std::chrono::milliseconds;
using test_support::ChildProcess;

constexpr milliseconds kStartup{15000};
constexpr milliseconds kReply{15000};

// A test on a ROS_DOMAIN_ID of its own, with a node in this process and peers
// (ACTION_PEER) as separate processes.
class ActionTest : public testing::Test {
 protected:
  void TearDown() override { rclcpp::shutdown(); }

  // Joins the domain with these --ros-args and makes the test's node.
  std::shared_ptr<rclcpp::Node> start(const std::string& domain_id, const std::string& node_name,
                                      std::vector<const char*> ros_args = {}) {
    domain_id_ = domain_id;
    setenv("ROS_DOMAIN_ID", domain_id.c_str(), 1);
    std::vector<const char*> argv = {"test_action"};
    argv.insert(argv.end(), ros_args.begin(), ros_args.end());
    rclcpp::init(static_cast<int>(argv.size()), argv.data());
    node_ = std::make_shared<rclcpp::Node>(node_name);
    return node_;
  }

  // The peer with these arguments; a server is waited for until it says "ready".
  std::unique_ptr<ChildProcess> peer(std::vector<std::string> args) {
    ChildProcess::Options options;
    options.set_env = {"ROS_DOMAIN_ID=" + domain_id_};
    args.insert(args.begin(), ACTION_PEER);
    auto child = std::make_unique<ChildProcess>(args, options);
    if (args[1] == "server") {
      EXPECT_TRUE(child->wait_for_line([](const std::string& l) { return l == "ready"; }, kStartup))
          << child->stderr_text();
    }
    return child;
  }

  // Spins the test's node (and runs `between` after each spin) until done() holds.
  bool spin_until(const std::function<bool()>& done, milliseconds timeout = kReply,
                  const std::function<void()>& between = nullptr) {
    return test_support::wait_until(
        [&] {
          rclcpp::spin_some(node_);
          if (between) between();
          return done();
        },
        timeout);
  }

  template <class FutureT>
  bool complete(const FutureT& future, const std::function<void()>& between = nullptr) {
    return spin_until(
        [&future] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        kReply, between);
  }

  std::string domain_id_;
  std::shared_ptr<rclcpp::Node> node_;
};

}  // namespace action_test
