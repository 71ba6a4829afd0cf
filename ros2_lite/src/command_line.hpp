#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace ros2_lite {

// How many values an argument takes, as argparse's nargs: none (a switch), one, a
// list of one (nargs=1), '?', '+', and the rest of the command line (a sub-command).
enum class Nargs { kZero, kOne, kListOfOne, kOptional, kOneOrMore, kCommand };

// One argument as argparse knows it.
struct Argument {
  Argument(std::vector<std::string> flags, std::string dest, Nargs nargs, std::string help,
           bool is_float = false, std::string metavar = "", bool exclusive = false)
      : flags(std::move(flags)),
        dest(std::move(dest)),
        nargs(nargs),
        help(std::move(help)),
        is_float(is_float),
        metavar(std::move(metavar)),
        exclusive(exclusive) {}

  std::vector<std::string> flags;  // as declared, "-a", "--all"; empty for a positional
  std::string dest;                // a positional's name; empty: from the first long flag
  Nargs nargs;
  std::string help;
  bool is_float;        // type=float
  std::string metavar;  // a sub-command's; empty: argparse's default
  // In a mutually exclusive group with the exclusive arguments next to it: in the
  // usage as "[--a | --b]".
  bool exclusive;
};

// A parser: "<prog> [-h] ..." with the arguments after -h and, if any, the
// sub-commands (name, one line about it) listed under "Commands:".
struct Parser {
  std::string prog;
  std::string description;
  std::vector<Argument> arguments;
  std::vector<std::pair<std::string, std::string>> commands;
};

struct ParsedArgs {
  std::set<std::string> switches;                         // by long flag
  std::map<std::string, std::string> values;              // by long flag
  std::map<std::string, std::string> positionals;         // by name
  std::map<std::string, std::vector<std::string>> lists;  // '+' and nargs=1, by flag or name
  std::optional<std::string> command;                     // the sub-command chosen
  std::vector<std::string> rest;                          // what the sub-command parses
  std::vector<std::string> extras;                        // not recognised here

  bool has(const std::string& flag) const { return switches.count(flag) > 0; }
};

// What argparse reports as "<prog>: error: <message>", exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// -h or --help was given: print the parser's help, exit status 0.
struct HelpRequested {};

// argparse's parse_known_args over one parser: options anywhere (abbreviated,
// --flag=value, -abc), negative numbers as positionals, '--'. A sub-command
// takes everything after it into `rest`. Throws UsageError or HelpRequested.
ParsedArgs parse_known(const Parser& parser, const std::vector<std::string>& args);

// -h/--help, which every parser has first.
const Argument& help_argument();
// The name argparse shows for an argument's value: SPIN_TIME, node_name.
std::string metavar_of(const Argument& argument);

// What shutil.get_terminal_size gives argparse, less 2: $COLUMNS, else the
// terminal's width, else 80.
int help_width();
// "usage: ..." wrapped as argparse wraps it, without a final newline.
std::string format_usage(const Parser& parser, int width);
// The whole of `-h`, ending in a newline.
std::string format_help(const Parser& parser, int width);
// textwrap.wrap of a text with its white space collapsed.
std::vector<std::string> wrap_text(const std::string& text, size_t width);
// The value of Python's float() for text, or nullopt where it raises ValueError.
std::optional<double> python_float_value(const std::string& text);

}  // namespace ros2_lite
