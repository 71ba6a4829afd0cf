#pragma once

#include <stddef.h>
#include <stdint.h>

// What rcutils' logging.h defines for a log call's site, severity and time: the
// subset that rcl's rosout output handler takes.
#ifdef __cplusplus
extern "C" {
#endif

typedef int64_t rcutils_time_point_value_t;  // nanoseconds since the epoch

typedef struct rcutils_log_location_s {
  const char* function_name;
  const char* file_name;
  size_t line_number;
} rcutils_log_location_t;

enum RCUTILS_LOG_SEVERITY {
  RCUTILS_LOG_SEVERITY_UNSET = 0,
  RCUTILS_LOG_SEVERITY_DEBUG = 10,
  RCUTILS_LOG_SEVERITY_INFO = 20,
  RCUTILS_LOG_SEVERITY_WARN = 30,
  RCUTILS_LOG_SEVERITY_ERROR = 40,
  RCUTILS_LOG_SEVERITY_FATAL = 50,
};

#ifdef __cplusplus
}
#endif
