#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace ros2_lite {

// The texts of the documents a keystore holds live as templates in the
// package's share directory: share/ros2_lite beside the installed program.
std::filesystem::path share_dir();

// The template's text; throws std::runtime_error when it cannot be read.
std::string read_template(const std::string& name);

// text with every @KEY@ replaced by values[KEY]; unknown keys stay as they are.
std::string fill(const std::string& text, const std::map<std::string, std::string>& values);

}  // namespace ros2_lite
