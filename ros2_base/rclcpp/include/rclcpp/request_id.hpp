#pragma once

#include <cstdint>

// rmw's identity of a request, as a service callback with a header receives
// it: the client's id and the publication that carried the request, then the
// client's sequence number.
typedef struct rmw_request_id_s {
  int8_t writer_guid[16];
  int64_t sequence_number;
} rmw_request_id_t;
