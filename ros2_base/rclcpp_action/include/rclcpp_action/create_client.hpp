#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "rcl_action/action_client.h"
#include "rclcpp/node.hpp"
#include "rclcpp_action/client.hpp"

namespace rclcpp_action {

// An action client on `node` (a pointer or shared pointer to an rclcpp::Node
// or a class derived from it); its futures and callbacks complete inside
// rclcpp::spin_some of that node. The layer has no callback groups: `group`
// can only be nullptr.
template <typename ActionT, typename NodeT>
typename Client<ActionT>::SharedPtr create_client(
    NodeT node, const std::string& name, std::nullptr_t group = nullptr,
    const rcl_action_client_options_t& options = rcl_action_client_get_default_options()) {
  (void)group;
  rclcpp::Node& owner = *node;
  auto client = std::make_shared<Client<ActionT>>(owner, name, options);
  client->activate(client);
  return client;
}

}  // namespace rclcpp_action
