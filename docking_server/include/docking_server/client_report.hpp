#pragma once

#include <cstdint>
#include <string>

#include "docking_server/actions.hpp"

namespace docking_server {

// How a goal ended, as the action's status says.
enum class GoalEnd { kSucceeded, kCanceled, kAborted };

// One line for each feedback; elapsed: s since the goal was sent.
std::string feedback_line(const Dock::Feedback& feedback);
std::string feedback_line(const Undock::Feedback& feedback, double elapsed);

// The result in words.
std::string result_line(const Dock::Result& result, GoalEnd end);
std::string result_line(const Undock::Result& result, GoalEnd end);

// The error code's name in the action definition.
std::string error_name(uint16_t code);

}  // namespace docking_server
