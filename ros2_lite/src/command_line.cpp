#include "command_line.hpp"

namespace ros2_lite {
namespace {

const Option* find_option(const CommandSpec& spec, const std::string& arg) {
  for (const auto& option : spec.options) {
    if (arg == option.flag || (!option.short_flag.empty() && arg == option.short_flag)) {
      return &option;
    }
  }
  return nullptr;
}

}  // namespace

std::string usage_line(const CommandSpec& spec) {
  std::string line = "usage: " + spec.prog + " [-h]";
  for (const auto& option : spec.options) {
    const std::string& shown = option.short_flag.empty() ? option.flag : option.short_flag;
    line += " [" + shown + (option.metavar.empty() ? "" : " " + option.metavar) + "]";
  }
  for (const auto& positional : spec.positionals) {
    line += " " + positional;
  }
  return line;
}

ParsedArgs parse_command(const CommandSpec& spec, const std::vector<std::string>& args) {
  ParsedArgs parsed;
  std::vector<std::string> positionals;
  std::vector<std::string> unrecognized;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      throw HelpRequested{};
    }
    // --flag=value, as argparse takes it.
    const size_t equals = arg.find('=');
    const std::string name = arg.rfind("--", 0) == 0 ? arg.substr(0, equals) : arg;
    if (arg.size() > 1 && arg[0] == '-') {
      const Option* option = find_option(spec, name);
      if (option == nullptr) {
        unrecognized.push_back(arg);
      } else if (option->metavar.empty()) {
        parsed.switches.insert(option->flag);
      } else if (name != arg) {
        parsed.values[option->flag] = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        parsed.values[option->flag] = args[++i];
      } else {
        throw UsageError("argument " + option->flag + "/" + option->metavar +
                         ": expected one argument");
      }
    } else if (positionals.size() < spec.positionals.size()) {
      positionals.push_back(arg);
    } else {
      unrecognized.push_back(arg);
    }
  }
  if (positionals.size() < spec.positionals.size()) {
    std::string missing;
    for (size_t i = positionals.size(); i < spec.positionals.size(); ++i) {
      missing += (missing.empty() ? "" : ", ") + spec.positionals[i];
    }
    throw UsageError("the following arguments are required: " + missing);
  }
  if (!unrecognized.empty()) {
    std::string joined;
    for (const auto& arg : unrecognized) {
      joined += (joined.empty() ? "" : " ") + arg;
    }
    throw UsageError("unrecognized arguments: " + joined);
  }
  for (size_t i = 0; i < positionals.size(); ++i) {
    parsed.positionals[spec.positionals[i]] = positionals[i];
  }
  return parsed;
}

}  // namespace ros2_lite
