#pragma once

#include <string>

// The message of the E that f throws, or "nothing thrown".
template <class E, class F>
std::string what(F f) {
  try {
    f();
  } catch (const E& error) {
    return error.what();
  }
  return "nothing thrown";
}
