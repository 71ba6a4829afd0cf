#pragma once

#include <docking_interfaces/action/dock.hpp>
#include <docking_interfaces/action/undock.hpp>

namespace docking_server {

using Dock = docking_interfaces::action::Dock;
using Undock = docking_interfaces::action::Undock;

}  // namespace docking_server
