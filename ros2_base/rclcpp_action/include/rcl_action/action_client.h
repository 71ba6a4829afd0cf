#pragma once

// rcl_action's client options; the layer's client has none to set: its topics
// and services always have rcl_action's default QoS.
typedef struct rcl_action_client_options_s {
} rcl_action_client_options_t;

rcl_action_client_options_t rcl_action_client_get_default_options();
