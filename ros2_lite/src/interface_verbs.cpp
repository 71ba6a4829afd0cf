// ros2 interface list/packages/package/show/proto: the interfaces of the packages
// in the ament index of AMENT_PREFIX_PATH, read from their share/<pkg>/msg|srv|action
// files as rosidl_runtime_py finds them.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

#include "interface_text.hpp"
#include "message_yaml.hpp"
#include "python_text.hpp"
#include "rclcpp_dds/dynamic_type.hpp"
#include "verb.hpp"

namespace ros2_lite {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> prefixes() {
  const char* env = std::getenv("AMENT_PREFIX_PATH");
  std::vector<std::string> out;
  std::stringstream paths(env != nullptr ? env : "");
  for (std::string prefix; std::getline(paths, prefix, ':');) {
    if (!prefix.empty()) {
      out.push_back(prefix);
    }
  }
  return out;
}

fs::path resource_dir(const std::string& prefix, const std::string& type) {
  return fs::path(prefix) / "share/ament_index/resource_index" / type;
}

// ament_index's get_resources: each package once, with the first prefix listing it.
std::map<std::string, std::string> resources(const std::string& type) {
  std::map<std::string, std::string> found;
  for (const auto& prefix : prefixes()) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(resource_dir(prefix, type), error)) {
      const std::string name = entry.path().filename().string();
      if (name[0] != '.' && entry.is_regular_file()) {
        found.emplace(name, prefix);
      }
    }
  }
  return found;
}

std::optional<std::string> package_prefix(const std::string& package) {
  for (const auto& prefix : prefixes()) {
    if (fs::is_regular_file(resource_dir(prefix, "packages") / package)) {
      return prefix;
    }
  }
  return std::nullopt;
}

// A package's interfaces as the index lists them ("msg/Align.idl", "msg/Align.msg").
std::vector<std::string> index_entries(const std::string& prefix, const std::string& package) {
  std::ifstream file(resource_dir(prefix, "rosidl_interfaces") / package);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    lines.push_back(line);
  }
  return lines;
}

bool ends_with(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

enum class Kind { kAll, kMessages, kServices, kActions };

// rosidl_runtime_py's get_*_interfaces: per package, the names without their
// suffix, leaving out the generated ones (with '_').
std::map<std::string, std::set<std::string>> interfaces(Kind kind) {
  std::map<std::string, std::set<std::string>> out;
  for (const auto& [package, prefix] : resources("rosidl_interfaces")) {
    std::set<std::string> names;
    for (const auto& entry : index_entries(prefix, package)) {
      if (entry.find('_') != std::string::npos) {
        continue;
      }
      const bool idl = ends_with(entry, ".idl");
      const bool wanted = kind == Kind::kAll ||
                          (kind == Kind::kMessages && entry.rfind("msg/", 0) == 0 &&
                           (idl || ends_with(entry, ".msg"))) ||
                          (kind == Kind::kServices && entry.rfind("srv/", 0) == 0 &&
                           (idl || ends_with(entry, ".srv"))) ||
                          (kind == Kind::kActions && entry.rfind("action/", 0) == 0 &&
                           (idl || ends_with(entry, ".action")));
      if (wanted) {
        names.insert(entry.substr(0, entry.rfind('.')));
      }
    }
    if (!names.empty()) {
      out[package] = names;
    }
  }
  return out;
}

// rosidl_runtime_py's get_interface_path.
std::string interface_path(const std::string& name) {
  const std::vector<std::string> parts = split(name, '/');
  if (parts.size() < 2) {
    throw std::runtime_error("Invalid name '" + name +
                             "'. Expected at least two parts separated by '/'");
  }
  if (std::any_of(parts.begin(), parts.end(), [](const auto& p) { return p.empty(); })) {
    throw std::runtime_error("Invalid name '" + name + "'. Must not contain empty parts");
  }
  if (std::find(parts.begin(), parts.end(), "..") != parts.end()) {
    throw std::runtime_error("Invalid name '" + name + "'. Must not contain '..'");
  }
  const auto prefix = package_prefix(parts[0]);
  if (!prefix) {
    throw std::runtime_error("Unknown package '" + parts[0] + "'");
  }
  std::string path = (fs::path(*prefix) / "share" / name).string();
  if (parts.back().find('.') == std::string::npos) {
    if (fs::exists(path + "." + parts[parts.size() - 2])) {
      return path + "." + parts[parts.size() - 2];
    }
    path += ".idl";
  }
  if (!fs::exists(path)) {
    throw std::runtime_error("Could not find the interface '" + path + "'");
  }
  return path;
}

std::vector<std::string> interface_lines(const std::string& type) {
  if (std::count(type.begin(), type.end(), '/') != 2) {
    throw std::runtime_error("Invalid name '" + type + "'. Expected three parts separated by '/'");
  }
  std::ifstream file(interface_path(type));
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    lines.push_back(line.substr(0, line.find_last_not_of(" \t\r\n\f\v") + 1));
  }
  return lines;
}

void print_kind(const char* title, Kind kind, std::ostream& out) {
  out << title << "\n";
  for (const auto& [package, names] : interfaces(kind)) {
    for (const auto& name : names) {
      out << "    " << package << "/" << name << "\n";
    }
  }
}

std::optional<std::string> interface_list(const ParsedArgs& args, std::ostream& out,
                                          std::ostream& /*err*/) {
  const bool msgs = args.has("--only-msgs"), srvs = args.has("--only-srvs"),
             actions = args.has("--only-actions");
  const bool all = !msgs && !srvs && !actions;
  if (all || msgs) {
    print_kind("Messages:", Kind::kMessages, out);
  }
  if (all || srvs) {
    print_kind("Services:", Kind::kServices, out);
  }
  if (all || actions) {
    print_kind("Actions:", Kind::kActions, out);
  }
  return std::nullopt;
}

std::optional<std::string> interface_packages(const ParsedArgs& args, std::ostream& out,
                                              std::ostream& /*err*/) {
  if (args.has("--only-msgs") || args.has("--only-srvs") || args.has("--only-actions")) {
    const Kind kind = args.has("--only-msgs")   ? Kind::kMessages
                      : args.has("--only-srvs") ? Kind::kServices
                                                : Kind::kActions;
    for (const auto& entry : interfaces(kind)) {
      out << entry.first << "\n";
    }
    return std::nullopt;
  }
  // Every package the index lists under rosidl_interfaces, even one without any.
  for (const auto& entry : resources("rosidl_interfaces")) {
    out << entry.first << "\n";
  }
  return std::nullopt;
}

std::optional<std::string> interface_package(const ParsedArgs& args, std::ostream& out,
                                             std::ostream& /*err*/) {
  const std::string& package = args.positionals.at("package_name");
  if (!package_prefix(package)) {
    return "Unknown package '" + package + "'";
  }
  const auto all = interfaces(Kind::kAll);
  if (const auto found = all.find(package); found != all.end()) {
    for (const auto& name : found->second) {
      out << package << "/" << name << "\n";
    }
  }
  return std::nullopt;
}

std::optional<std::string> interface_show(const ParsedArgs& args, std::ostream& out,
                                          std::ostream& /*err*/) {
  std::string type = args.positionals.at("type");
  if (type == "-") {
    if (isatty(STDIN_FILENO) != 0) {
      throw UsageError("expected stdin pipe");
    }
    std::getline(std::cin, type);
    const size_t first = type.find_first_not_of(" \t\r\n");
    type = first == std::string::npos
               ? ""
               : type.substr(first, type.find_last_not_of(" \t\r\n") - first + 1);
  }
  if (type.empty()) {
    throw UsageError("the passed value is empty");
  }
  if (args.has("--all-comments") && args.has("--no-comments")) {
    throw UsageError("argument --no-comments: not allowed with argument --all-comments");
  }
  try {
    show_interface(type, interface_lines, args.has("--no-comments"), args.has("--all-comments"),
                   out);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return std::nullopt;
}

// The message `interface proto` shows: a message itself, a service's request, an
// action's goal. Where rosidl_runtime_py's import fails, the last line of ros2's
// traceback.
std::optional<std::string> interface_proto(const ParsedArgs& args, std::ostream& out,
                                           std::ostream& /*err*/) {
  const std::string& type = args.positionals.at("type");
  std::vector<std::string> module = split(type, '/');
  const std::string name = module.back();
  module.pop_back();
  if (!package_prefix(module[0])) {
    return "ModuleNotFoundError: No module named '" + module[0] + "'";
  }
  std::string module_name = module[0];
  if (module.size() > 1) {
    module_name += "." + module[1];
    const auto entries = index_entries(*package_prefix(module[0]), module[0]);
    const bool exists = std::any_of(entries.begin(), entries.end(), [&](const std::string& e) {
      return e.rfind(module[1] + "/", 0) == 0;
    });
    if (!exists || module.size() > 2) {
      return "ModuleNotFoundError: No module named '" +
             (exists ? module_name + "." + module[2] : module_name) + "'";
    }
  }
  std::shared_ptr<const rclcpp_dds::DynamicType> message;
  for (const char* suffix : {"", "_Request", "_Goal"}) {
    try {
      if (!message && module.size() == 2) {
        message = rclcpp_dds::DynamicType::load(type + suffix);
      }
    } catch (const std::runtime_error&) {
    }
  }
  if (!message) {
    return "AttributeError: module '" + module_name + "' has no attribute '" + name + "'";
  }
  auto instance = message->create();
  const std::string yaml = message_to_yaml(message->members(), instance.get());
  out << (args.has("--no-quotes") ? yaml : "\"" + yaml + "\"") << "\n";
  return std::nullopt;
}

}  // namespace

std::vector<Verb> interface_verbs() {
  Argument all_comments{{"--all-comments"},
                        "",
                        Nargs::kZero,
                        "Show all comments, including for nested interface definitions"};
  all_comments.exclusive_with_next = true;
  return {
      {"interface",
       "list",
       "List all interface types available",
       {{{"-m", "--only-msgs"}, "", Nargs::kZero, "Print out only the message types"},
        {{"-s", "--only-srvs"}, "", Nargs::kZero, "Print out only the service types"},
        {{"-a", "--only-actions"}, "", Nargs::kZero, "Print out only the action types"}},
       interface_list},
      {"interface",
       "package",
       "Output a list of available interface types within one package",
       {{{}, "package_name", Nargs::kOne, "Name of the ROS package (e.g. 'example_interfaces')"}},
       interface_package},
      {"interface",
       "packages",
       "Output a list of packages that provide interfaces",
       {{{"-m", "--only-msgs"}, "", Nargs::kZero, "Only list packages that generate messages"},
        {{"-s", "--only-srvs"}, "", Nargs::kZero, "Only list packages that generate services"},
        {{"-a", "--only-actions"}, "", Nargs::kZero, "Only list packages that generate actions"}},
       interface_packages},
      {"interface",
       "proto",
       "Output an interface prototype",
       {{{},
         "type",
         Nargs::kOne,
         "Show an interface definition (e.g. 'example_interfaces/msg/String')"},
        {{"--no-quotes"}, "", Nargs::kZero, "if true output has no outer quotes."}},
       interface_proto},
      {"interface",
       "show",
       "Output the interface definition",
       {all_comments,
        {{"--no-comments"}, "", Nargs::kZero, "Show no comments or whitespace"},
        {{},
         "type",
         Nargs::kOne,
         "Show an interface definition (e.g. 'example_interfaces/msg/String'). Passing '-' reads "
         "the argument from stdin (e.g. 'ros2 topic type /chatter | ros2 interface show -')."}},
       interface_show},
  };
}

}  // namespace ros2_lite
