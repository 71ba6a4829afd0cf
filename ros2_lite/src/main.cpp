// ros2_lite <command> <verb> [args]: the ros2 command's verbs of the same
// names, with their output and exit codes: 0 done, 1 failed, 2 usage error.
#include <iostream>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "verb.hpp"

namespace {

constexpr const char* kProg = "ros2_lite";

std::vector<ros2_lite::Verb> all_verbs() {
  std::vector<ros2_lite::Verb> verbs = ros2_lite::node_verbs();
  for (auto more :
       {ros2_lite::topic_verbs(), ros2_lite::param_verbs(), ros2_lite::security_verbs()}) {
    for (auto& verb : more) {
      verbs.push_back(std::move(verb));
    }
  }
  return verbs;
}

std::string choices(const std::vector<ros2_lite::Verb>& verbs, const std::string& command) {
  std::string listed;
  for (const auto& verb : verbs) {
    const std::string& choice = command.empty() ? verb.command : verb.name;
    if ((command.empty() || verb.command == command) &&
        listed.find("'" + choice + "'") == std::string::npos) {
      listed += (listed.empty() ? "'" : ", '") + choice + "'";
    }
  }
  return listed;
}

int usage_error(const std::string& usage, const std::string& prog, const std::string& message) {
  std::cerr << usage << "\n" << prog << ": error: " << message << std::endl;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<ros2_lite::Verb> verbs = all_verbs();
  const std::vector<std::string> args(argv + 1, argv + argc);
  const std::string top_usage = std::string("usage: ") + kProg + " <command> <verb> ...";
  if (args.empty()) {
    return usage_error(top_usage, kProg, "the following arguments are required: command");
  }
  const std::string& command = args[0];
  if (choices(verbs, command).empty()) {
    return usage_error(top_usage, kProg,
                       "argument command: invalid choice: '" + command + "' (choose from " +
                           choices(verbs, "") + ")");
  }
  const std::string command_prog = std::string(kProg) + " " + command;
  const std::string command_usage = "usage: " + command_prog + " <verb> ...";
  if (args.size() < 2) {
    return usage_error(command_usage, command_prog, "the following arguments are required: verb");
  }
  for (const auto& verb : verbs) {
    if (verb.command != command || verb.name != args[1]) {
      continue;
    }
    const ros2_lite::CommandSpec spec{command_prog + " " + verb.name, verb.options,
                                      verb.positionals};
    try {
      const auto parsed =
          ros2_lite::parse_command(spec, std::vector<std::string>(args.begin() + 2, args.end()));
      if (const auto failure = verb.run(parsed, std::cout, std::cerr)) {
        std::cerr << *failure << std::endl;
        return 1;
      }
      return 0;
    } catch (const ros2_lite::HelpRequested&) {
      std::cout << ros2_lite::usage_line(spec) << std::endl;
      return 0;
    } catch (const ros2_lite::UsageError& e) {
      return usage_error(ros2_lite::usage_line(spec), spec.prog, e.what());
    } catch (const std::exception& e) {
      std::cerr << e.what() << std::endl;
      return 1;
    }
  }
  return usage_error(command_usage, command_prog,
                     "argument verb: invalid choice: '" + args[1] + "' (choose from " +
                         choices(verbs, command) + ")");
}
