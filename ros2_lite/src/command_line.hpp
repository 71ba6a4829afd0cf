#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace ros2_lite {

// An option as argparse knows it: a switch when metavar is empty, else it takes a value.
struct Option {
  std::string flag;        // "--spin-time"
  std::string short_flag;  // "-a", or empty
  std::string metavar;     // "SPIN_TIME"
  bool many = false;       // nargs='+': takes the values up to the next option
};

struct CommandSpec {
  std::string prog;  // "ros2_lite node info"
  std::vector<Option> options;
  // Names; "name?" is optional, a last "name+" takes one or more.
  std::vector<std::string> positionals;
};

struct ParsedArgs {
  std::set<std::string> switches;                         // by long flag
  std::map<std::string, std::string> values;              // by long flag
  std::map<std::string, std::string> positionals;         // by name, without ? or +
  std::map<std::string, std::vector<std::string>> lists;  // options with many, and "name+"

  bool has(const std::string& flag) const { return switches.count(flag) > 0; }
};

// What argparse reports as "<prog>: error: <message>", exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// -h or --help was given.
struct HelpRequested {};

// "usage: <prog> [-h] [--flag METAVAR] ... positional"
std::string usage_line(const CommandSpec& spec);

// Throws UsageError for an unknown option, a missing value or a missing or
// extra positional, HelpRequested for -h.
ParsedArgs parse_command(const CommandSpec& spec, const std::vector<std::string>& args);

}  // namespace ros2_lite
