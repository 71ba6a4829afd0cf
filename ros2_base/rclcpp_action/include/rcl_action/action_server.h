#pragma once

#include <cstdint>

// The part of rcl_action's server options this layer honours: how long a goal's
// result is kept (counted from the goal's acceptance, as rcl_action counts it).
// The topics and services always have rcl_action's default QoS.

typedef struct rcl_duration_s {
  int64_t nanoseconds;
} rcl_duration_t;

typedef struct rcl_action_server_options_s {
  rcl_duration_t result_timeout;
} rcl_action_server_options_t;

// A result_timeout of 15 minutes, as rcl_action's default.
rcl_action_server_options_t rcl_action_server_get_default_options();
