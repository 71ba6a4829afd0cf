#include "rcl_action/action_client.h"
#include "rcl_action/action_server.h"

rcl_action_server_options_t rcl_action_server_get_default_options() {
  rcl_action_server_options_t options;
  options.result_timeout.nanoseconds = int64_t{15} * 60 * 1000000000;
  return options;
}

rcl_action_client_options_t rcl_action_client_get_default_options() { return {}; }
