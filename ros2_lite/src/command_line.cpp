#include "command_line.hpp"

#include <algorithm>

namespace ros2_lite {
namespace {

std::string bare(const std::string& positional) {
  const char last = positional.empty() ? 0 : positional.back();
  return last == '?' || last == '+' ? positional.substr(0, positional.size() - 1) : positional;
}

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
    std::string value = option.metavar.empty() ? "" : " " + option.metavar;
    if (option.many) {
      value += " [" + option.metavar + " ...]";
    }
    line += " [" + shown + value + "]";
  }
  for (const auto& positional : spec.positionals) {
    const std::string name = bare(positional);
    if (positional.back() == '?') {
      line += " [" + name + "]";
    } else if (positional.back() == '+') {
      line += " " + name + " [" + name + " ...]";
    } else {
      line += " " + name;
    }
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
      } else if (option->many) {
        auto& values = parsed.lists[option->flag];
        while (i + 1 < args.size() && !(args[i + 1].size() > 1 && args[i + 1][0] == '-')) {
          values.push_back(args[++i]);
        }
        if (values.empty()) {
          throw UsageError("argument " + option->flag + ": expected at least one argument");
        }
      } else if (name != arg) {
        parsed.values[option->flag] = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        parsed.values[option->flag] = args[++i];
      } else {
        throw UsageError("argument " + option->flag + "/" + option->metavar +
                         ": expected one argument");
      }
    } else if (positionals.size() < spec.positionals.size() ||
               (!spec.positionals.empty() && spec.positionals.back().back() == '+')) {
      positionals.push_back(arg);
    } else {
      unrecognized.push_back(arg);
    }
  }
  std::string missing;
  for (size_t i = positionals.size(); i < spec.positionals.size(); ++i) {
    if (spec.positionals[i].back() != '?') {
      missing += (missing.empty() ? "" : ", ") + bare(spec.positionals[i]);
    }
  }
  if (!missing.empty()) {
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
    const std::string& spec_name = spec.positionals[std::min(i, spec.positionals.size() - 1)];
    if (spec_name.back() == '+') {
      parsed.lists[bare(spec_name)].push_back(positionals[i]);
    } else {
      parsed.positionals[bare(spec_name)] = positionals[i];
    }
  }
  return parsed;
}

}  // namespace ros2_lite
