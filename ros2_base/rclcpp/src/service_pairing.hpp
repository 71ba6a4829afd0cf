#pragma once

#include <dds/dds.h>

#include <optional>
#include <string>

#include "context.hpp"

namespace rclcpp_dds {

// rmw_cyclonedds_cpp marks both endpoints of a service with "serviceid=<id>;"
// and both of a client with "clientid=<id>;" in USER_DATA, so that a peer can
// tell which request and reply endpoints belong together.
std::string service_user_data(const Context& context);
std::string client_user_data(const Context& context);

// The value of `key` in USER_DATA made of "key=value;" pairs.
std::optional<std::string> user_data_value(const dds_qos_t* qos, const std::string& key);

enum class ClientPresence {
  gone,     // its request writer is no longer matched: the reply has nowhere to go
  waiting,  // our reply writer has not matched its reply reader yet
  ready,
};

// Whether a reply to the request written by `request_writer` (a publication
// handle seen by our request reader) would reach the client now.
ClientPresence client_presence(dds_entity_t request_reader, dds_entity_t reply_writer,
                               dds_instance_handle_t request_writer);

// rmw_service_server_is_available's test on a client's endpoints: a service
// whose request reader the request writer matched has its reply writer
// matched by the reply reader; for peers without ids, any match both ways.
bool server_available(dds_entity_t request_writer, dds_entity_t reply_reader);

}  // namespace rclcpp_dds
