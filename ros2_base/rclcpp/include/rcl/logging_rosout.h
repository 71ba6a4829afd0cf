#pragma once

#include <stdarg.h>

#include "rcutils/logging.h"

#ifdef __cplusplus
extern "C" {
#endif

// As rcl's: formats the line and publishes it as an rcl_interfaces/msg/Log on /rosout
// through the rosout publisher of the node whose logger is called name. Does nothing
// when no such node exists, or rosout logs are disabled (--disable-rosout-logs).
void rcl_logging_rosout_output_handler(const rcutils_log_location_t* location, int severity,
                                       const char* name, rcutils_time_point_value_t timestamp,
                                       const char* format, va_list* args);

#ifdef __cplusplus
}
#endif
