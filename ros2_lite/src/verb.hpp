#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "command_line.hpp"

namespace ros2_lite {

// One `ros2_lite <command> <verb>`. run writes the verb's output and returns
// the text ros2cli would hand back as a failure (printed to standard error,
// exit status 1), or nothing.
struct Verb {
  std::string command;
  std::string name;
  std::string description;  // the first line of the ros2cli verb's docstring
  std::vector<Argument> arguments;
  std::function<std::optional<std::string>(const ParsedArgs& args, std::ostream& out,
                                           std::ostream& err)>
      run;
};

// Ends the command with this exit status, after the message (if any) on standard
// error: where ros2cli returns a status of its own rather than a failure's text, or
// the status of the signal that ended it.
struct ExitStatus {
  int code;
  std::string message;
};

Verb send_goal_verb();
Verb topic_echo_verb();
Verb topic_pub_verb();
std::vector<Verb> topic_rate_verbs();  // hz, bw
std::vector<Verb> action_verbs();
std::vector<Verb> node_verbs();
std::vector<Verb> topic_verbs();
std::vector<Verb> param_verbs();
std::vector<Verb> security_verbs();
std::vector<Verb> service_verbs();
std::vector<Verb> interface_verbs();

}  // namespace ros2_lite
