#include "text.hpp"

#include <cstdarg>
#include <cstdio>

namespace align_request {

std::string text(const char* format, ...) {
  char buf[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return buf;
}

}  // namespace align_request
