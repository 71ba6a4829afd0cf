#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "rcl_action/action_server.h"
#include "rclcpp/node.hpp"
#include "rclcpp_action/server.hpp"

namespace rclcpp_action {

// An action server on `node` (a pointer or shared pointer to an rclcpp::Node
// or a class derived from it), served by rclcpp::spin_some of that node. The
// callbacks run inside spin_some and must not block. The layer has no callback
// groups: `group` can only be nullptr.
template <typename ActionT, typename NodeT>
typename Server<ActionT>::SharedPtr create_server(
    NodeT node, const std::string& name, typename Server<ActionT>::GoalCallback handle_goal,
    typename Server<ActionT>::CancelCallback handle_cancel,
    typename Server<ActionT>::AcceptedCallback handle_accepted,
    const rcl_action_server_options_t& options = rcl_action_server_get_default_options(),
    std::nullptr_t group = nullptr) {
  (void)group;
  rclcpp::Node& owner = *node;
  auto server =
      std::make_shared<Server<ActionT>>(owner, name, options, std::move(handle_goal),
                                        std::move(handle_cancel), std::move(handle_accepted));
  server->activate(server);
  return server;
}

}  // namespace rclcpp_action
