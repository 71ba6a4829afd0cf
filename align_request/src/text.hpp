#pragma once

#include <string>

namespace align_request {

// printf into a string, for the supervisor's lines.
std::string text(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace align_request
