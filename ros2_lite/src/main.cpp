// ros2_lite <command> <verb> [args]: the ros2 command's verbs of the same
// names, with their output and exit codes: 0 done, 1 failed, 2 usage error.
// Its name is argv[0]'s, as argparse takes it.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "verb.hpp"

namespace {

using ros2_lite::Argument;
using ros2_lite::Nargs;
using ros2_lite::Parser;

// Arguments no level took: the top level reports them, after everything else.
struct Unrecognized {};

struct Command {
  std::string name;
  std::string description;
  std::vector<Argument> arguments;
};

const std::vector<Command> kCommands{
    {"action", "Various action related sub-commands", {}},
    {"interface", "Show information about ROS interfaces", {}},
    {"node", "Various node related sub-commands", {}},
    {"param", "Various param related sub-commands", {}},
    {"security", "Various security related sub-commands", {}},
    {"service",
     "Various service related sub-commands",
     {{{"--include-hidden-services"}, "", Nargs::kZero, "Consider hidden services as well"}}},
    {"topic",
     "Various topic related sub-commands",
     {{{"--include-hidden-topics"}, "", Nargs::kZero, "Consider hidden topics as well"}}},
};

std::vector<ros2_lite::Verb> all_verbs() {
  std::vector<ros2_lite::Verb> verbs = ros2_lite::action_verbs();
  for (auto more :
       {ros2_lite::node_verbs(), ros2_lite::topic_verbs(), ros2_lite::param_verbs(),
        ros2_lite::security_verbs(), ros2_lite::service_verbs(), ros2_lite::interface_verbs()}) {
    for (auto& verb : more) {
      verbs.push_back(std::move(verb));
    }
  }
  return verbs;
}

// A parser whose last argument is a sub-command, as ros2cli's add_subparsers_on_demand makes it.
Parser with_commands(const std::string& prog, const std::string& description,
                     std::vector<Argument> arguments,
                     std::vector<std::pair<std::string, std::string>> commands) {
  std::sort(commands.begin(), commands.end());
  arguments.push_back({{},
                       "",
                       Nargs::kCommand,
                       "",
                       false,
                       "Call `" + prog + " <command> -h` for more detailed usage."});
  return {prog, description, std::move(arguments), std::move(commands)};
}

std::string program_name(const char* argv0) {
  const std::string path = argv0 == nullptr ? "ros2_lite" : argv0;
  return path.substr(path.find_last_of('/') + 1);
}

int usage_error(const Parser& parser, int width, const std::string& message) {
  std::cerr << ros2_lite::format_usage(parser, width) << "\n"
            << parser.prog << ": error: " << message << std::endl;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<ros2_lite::Verb> verbs = all_verbs();
  const int width = ros2_lite::help_width();
  const std::string prog = program_name(argc > 0 ? argv[0] : nullptr);
  std::vector<std::pair<std::string, std::string>> command_list;
  for (const auto& command : kCommands) {
    command_list.emplace_back(command.name, command.description);
  }
  const Parser top = with_commands(
      prog, prog + " has the graph, parameter and security verbs of the ros2 command.",
      {{{"--use-python-default-buffering"},
        "",
        Nargs::kZero,
        "Do not force line buffering in stdout and instead use the python default buffering, "
        "which might be affected by PYTHONUNBUFFERED/-u and depends on whatever stdout is "
        "interactive or not"}},
      command_list);

  std::vector<std::string> extras;
  // One level of the command line: its errors with its own usage, its help on -h.
  const auto parse = [&](const Parser& parser, const std::vector<std::string>& args) {
    auto parsed = ros2_lite::parse_known(parser, args);
    extras.insert(extras.end(), parsed.extras.begin(), parsed.extras.end());
    return parsed;
  };
  // The parser of the level being read; each outlives the try block, for its help and errors.
  Parser command_parser{"", "", {}, {}};
  Parser verb_parser{"", "", {}, {}};
  const Parser* level = &top;
  // Without a command or verb: the help, unless some argument was left over.
  const auto help_unless_extras = [&](const Parser& parser) {
    if (!extras.empty()) {
      throw Unrecognized{};
    }
    std::cout << ros2_lite::format_help(parser, width);
    return 0;
  };
  try {
    const auto at_top = parse(top, std::vector<std::string>(argv + 1, argv + argc));
    const Command* command = nullptr;
    for (const auto& c : kCommands) {
      if (at_top.command == c.name) {
        command = &c;
      }
    }
    if (command == nullptr) {
      return help_unless_extras(top);
    }
    std::vector<std::pair<std::string, std::string>> verb_list;
    for (const auto& verb : verbs) {
      if (verb.command == command->name) {
        verb_list.emplace_back(verb.name, verb.description);
      }
    }
    command_parser = with_commands(prog + " " + command->name, command->description,
                                   command->arguments, verb_list);
    level = &command_parser;
    const auto at_command = parse(command_parser, at_top.rest);
    const ros2_lite::Verb* verb = nullptr;
    for (const auto& v : verbs) {
      if (v.command == command->name && at_command.command == v.name) {
        verb = &v;
      }
    }
    if (verb == nullptr) {
      return help_unless_extras(command_parser);
    }
    verb_parser = {command_parser.prog + " " + verb->name, verb->description, verb->arguments, {}};
    level = &verb_parser;
    auto args = parse(verb_parser, at_command.rest);
    if (!extras.empty()) {
      throw Unrecognized{};
    }
    // The options of the levels above reach the verb too.
    args.switches.insert(at_command.switches.begin(), at_command.switches.end());
    if (const auto failure = verb->run(args, std::cout, std::cerr)) {
      std::cerr << *failure << std::endl;
      return 1;
    }
    return 0;
  } catch (const ros2_lite::ExitStatus& status) {
    if (!status.message.empty()) {
      std::cerr << status.message << std::endl;
    }
    return status.code;
  } catch (const ros2_lite::HelpRequested&) {
    std::cout << ros2_lite::format_help(*level, width);
    return 0;
  } catch (const ros2_lite::UsageError& e) {
    return usage_error(*level, width, e.what());
  } catch (const Unrecognized&) {
    std::string message = "unrecognized arguments:";
    for (const auto& extra : extras) {
      message += " " + extra;
    }
    return usage_error(top, width, message);
  } catch (const std::exception& e) {
    std::cerr << e.what() << std::endl;
    return 1;
  }
}
