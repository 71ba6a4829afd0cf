// A port of the parts of Python 3.11's argparse that ros2cli's verbs use, so
// that what is accepted, the errors and the help read exactly as ros2's.
#include "command_line.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <regex>

#include "python_text.hpp"

namespace ros2_lite {
namespace {

std::vector<const Argument*> arguments_of(const Parser& parser) {
  std::vector<const Argument*> all{&help_argument()};
  for (const auto& argument : parser.arguments) {
    all.push_back(&argument);
  }
  return all;
}

std::string dest_of(const Argument& argument) {
  if (!argument.dest.empty() || argument.flags.empty()) {
    return argument.dest;
  }
  std::string flag = argument.flags[0];
  for (const auto& f : argument.flags) {
    if (f.rfind("--", 0) == 0) {
      flag = f;
      break;
    }
  }
  std::string dest = flag.substr(flag.find_first_not_of('-'));
  std::replace(dest.begin(), dest.end(), '-', '_');
  return dest;
}

// Where ParsedArgs keeps an argument: its first long flag, or a positional's name.
std::string key_of(const Argument& argument) {
  for (const auto& flag : argument.flags) {
    if (flag.rfind("--", 0) == 0) {
      return flag;
    }
  }
  return argument.flags.empty() ? argument.dest : argument.flags[0];
}

// argparse's _get_action_name
std::string action_name(const Argument& argument) {
  if (argument.flags.empty()) {
    return metavar_of(argument);
  }
  std::string name;
  for (const auto& flag : argument.flags) {
    name += (name.empty() ? "" : "/") + flag;
  }
  return name;
}

UsageError argument_error(const Argument& argument, const std::string& message) {
  return UsageError("argument " + action_name(argument) + ": " + message);
}

// argparse's _get_nargs_pattern, over the pattern of the command line: 'A' an
// argument, 'O' an option, '-' the "--" separator.
std::string nargs_pattern(const Argument& argument) {
  std::string pattern;
  switch (argument.nargs) {
    case Nargs::kZero:
      pattern = "(-*-*)";
      break;
    case Nargs::kOne:
    case Nargs::kListOfOne:
      pattern = "(-*A-*)";
      break;
    case Nargs::kOptional:
      pattern = "(-*A?-*)";
      break;
    case Nargs::kOneOrMore:
      pattern = "(-*A[A-]*)";
      break;
    case Nargs::kCommand:
      pattern = "(-*A[-AO]*)";
      break;
  }
  if (!argument.flags.empty()) {
    pattern = std::regex_replace(pattern, std::regex("-\\*"), "");
    pattern = std::regex_replace(pattern, std::regex("-"), "");
  }
  return pattern;
}

struct OptionMatch {
  const Argument* action = nullptr;  // nullptr: an unknown option
  std::string option_string;
  std::optional<std::string> explicit_arg;
};

class ArgparseRun {
 public:
  ArgparseRun(const Parser& parser, const std::vector<std::string>& args)
      : parser_(parser), args_(args) {
    for (const Argument* argument : arguments_of(parser)) {
      for (const auto& flag : argument->flags) {
        option_strings_.emplace_back(flag, argument);
      }
      if (argument->flags.empty()) {
        positionals_.push_back(argument);
      }
    }
  }

  ParsedArgs run() {
    std::map<size_t, OptionMatch> option_indices;
    for (size_t i = 0; i < args_.size(); ++i) {
      if (args_[i] == "--") {
        pattern_ += '-';
        pattern_.append(args_.size() - i - 1, 'A');
        break;
      }
      if (auto match = parse_optional(args_[i])) {
        option_indices[i] = *match;
        pattern_ += 'O';
      } else {
        pattern_ += 'A';
      }
    }
    size_t start = 0;
    const size_t max_option_index = option_indices.empty() ? 0 : option_indices.rbegin()->first;
    while (!option_indices.empty() && start <= max_option_index) {
      const size_t next_option = option_indices.lower_bound(start)->first;
      if (start != next_option) {
        const size_t end = consume_positionals(start);
        if (end > start) {
          start = end;
          continue;
        }
      }
      if (option_indices.count(start) == 0) {
        parsed_.extras.insert(parsed_.extras.end(), args_.begin() + static_cast<long>(start),
                              args_.begin() + static_cast<long>(next_option));
        start = next_option;
      }
      start = consume_optional(start, option_indices.at(start));
    }
    const size_t stop = consume_positionals(start);
    parsed_.extras.insert(parsed_.extras.end(), args_.begin() + static_cast<long>(stop),
                          args_.end());
    std::string missing;
    for (const Argument* positional : positionals_) {
      if (positional->nargs != Nargs::kOptional && positional->nargs != Nargs::kCommand) {
        missing += (missing.empty() ? "" : ", ") + action_name(*positional);
      }
    }
    if (!missing.empty()) {
      throw UsageError("the following arguments are required: " + missing);
    }
    return parsed_;
  }

 private:
  const Argument* exact_option(const std::string& option_string) const {
    for (const auto& [flag, argument] : option_strings_) {
      if (flag == option_string) {
        return argument;
      }
    }
    return nullptr;
  }

  // _get_option_tuples: the options an abbreviation or a "-xVALUE" may mean.
  std::vector<OptionMatch> option_tuples(const std::string& arg) const {
    std::vector<OptionMatch> tuples;
    if (arg[1] == '-') {
      const size_t equals = arg.find('=');
      const std::string prefix = arg.substr(0, equals);
      std::optional<std::string> explicit_arg;
      if (equals != std::string::npos) {
        explicit_arg = arg.substr(equals + 1);
      }
      for (const auto& [flag, argument] : option_strings_) {
        if (flag.rfind(prefix, 0) == 0) {
          tuples.push_back({argument, flag, explicit_arg});
        }
      }
    } else {
      const std::string short_prefix = arg.substr(0, 2);
      for (const auto& [flag, argument] : option_strings_) {
        if (flag == short_prefix) {
          tuples.push_back({argument, flag, arg.substr(2)});
        } else if (flag.rfind(arg, 0) == 0) {
          tuples.push_back({argument, flag, std::nullopt});
        }
      }
    }
    return tuples;
  }

  // _parse_optional: nullopt for a positional argument.
  std::optional<OptionMatch> parse_optional(const std::string& arg) const {
    if (arg.empty() || arg[0] != '-') {
      return std::nullopt;
    }
    if (const Argument* action = exact_option(arg)) {
      return OptionMatch{action, arg, std::nullopt};
    }
    if (arg.size() == 1) {
      return std::nullopt;
    }
    if (const size_t equals = arg.find('='); equals != std::string::npos) {
      const std::string option_string = arg.substr(0, equals);
      if (const Argument* action = exact_option(option_string)) {
        return OptionMatch{action, option_string, arg.substr(equals + 1)};
      }
    }
    const auto tuples = option_tuples(arg);
    if (tuples.size() > 1) {
      std::string matches;
      for (const auto& tuple : tuples) {
        matches += (matches.empty() ? "" : ", ") + tuple.option_string;
      }
      throw UsageError("ambiguous option: " + arg + " could match " + matches);
    }
    if (tuples.size() == 1) {
      return tuples[0];
    }
    // No option looks like a negative number, so negative numbers are arguments.
    static const std::regex negative_number("^-\\d+$|^-\\d*\\.\\d+$");
    if (std::regex_search(arg, negative_number) || arg.find(' ') != std::string::npos) {
      return std::nullopt;
    }
    return OptionMatch{nullptr, arg, std::nullopt};
  }

  size_t match_argument(const Argument& action, const std::string& pattern) const {
    std::smatch match;
    const std::regex nargs(nargs_pattern(action));
    if (!std::regex_search(pattern, match, nargs, std::regex_constants::match_continuous)) {
      switch (action.nargs) {
        case Nargs::kOne:
          throw argument_error(action, "expected one argument");
        case Nargs::kOptional:
          throw argument_error(action, "expected at most one argument");
        case Nargs::kOneOrMore:
          throw argument_error(action, "expected at least one argument");
        default:
          throw argument_error(action, "expected 1 argument");
      }
    }
    return static_cast<size_t>(match.length(1));
  }

  size_t consume_optional(size_t start, OptionMatch match) {
    std::vector<std::pair<const Argument*, std::vector<std::string>>> actions;
    size_t stop = start + 1;
    while (true) {
      if (match.action == nullptr) {
        parsed_.extras.push_back(args_[start]);
        return start + 1;
      }
      if (match.explicit_arg) {
        const std::string& explicit_arg = *match.explicit_arg;
        const size_t count = match_argument(*match.action, "A");
        if (count == 0 && match.option_string[1] != '-' && !explicit_arg.empty()) {
          // "-ac": -a, then -c with what follows it.
          actions.emplace_back(match.action, std::vector<std::string>{});
          match.option_string = std::string("-") + explicit_arg[0];
          const Argument* next = exact_option(match.option_string);
          if (next == nullptr) {
            throw argument_error(*match.action,
                                 "ignored explicit argument " + python_str_repr(explicit_arg));
          }
          match.action = next;
          match.explicit_arg = explicit_arg.size() > 1
                                   ? std::optional<std::string>(explicit_arg.substr(1))
                                   : std::nullopt;
        } else if (count == 1) {
          actions.emplace_back(match.action, std::vector<std::string>{explicit_arg});
          stop = start + 1;
          break;
        } else {
          throw argument_error(*match.action,
                               "ignored explicit argument " + python_str_repr(explicit_arg));
        }
      } else {
        const size_t first = start + 1;
        const size_t count = match_argument(*match.action, pattern_.substr(first));
        stop = first + count;
        actions.emplace_back(match.action,
                             std::vector<std::string>(args_.begin() + static_cast<long>(first),
                                                      args_.begin() + static_cast<long>(stop)));
        break;
      }
    }
    for (auto& [action, values] : actions) {
      take_action(*action, values);
    }
    return stop;
  }

  // _match_arguments_partial: as many of the positionals as the pattern allows.
  size_t consume_positionals(size_t start) {
    const std::string pattern = pattern_.substr(std::min(start, pattern_.size()));
    for (size_t n = positionals_.size(); n > 0; --n) {
      std::string regex;
      for (size_t i = 0; i < n; ++i) {
        regex += nargs_pattern(*positionals_[i]);
      }
      std::smatch match;
      if (!std::regex_search(pattern, match, std::regex(regex),
                             std::regex_constants::match_continuous)) {
        continue;
      }
      for (size_t i = 0; i < n; ++i) {
        const size_t count = static_cast<size_t>(match.length(static_cast<int>(i + 1)));
        take_action(*positionals_[i],
                    std::vector<std::string>(args_.begin() + static_cast<long>(start),
                                             args_.begin() + static_cast<long>(start + count)));
        start += count;
      }
      positionals_.erase(positionals_.begin(), positionals_.begin() + static_cast<long>(n));
      break;
    }
    return start;
  }

  void take_action(const Argument& action, std::vector<std::string> values) {
    if (&action == &help_argument()) {
      throw HelpRequested{};
    }
    if (action.nargs != Nargs::kCommand) {
      const auto separator = std::find(values.begin(), values.end(), "--");
      if (separator != values.end()) {
        values.erase(separator);
      }
    }
    if (action.is_float) {
      for (const auto& value : values) {
        if (!python_float_value(value)) {
          throw argument_error(action, "invalid float value: " + python_str_repr(value));
        }
      }
    }
    for (const auto& value : values) {
      if (action.convert) {
        if (const auto error = action.convert(value)) {
          throw argument_error(action, *error);
        }
      }
      const auto& choices = action.choices;
      if (!choices.empty() && std::find(choices.begin(), choices.end(), value) == choices.end()) {
        std::string listed;
        for (const auto& choice : choices) {
          listed += (listed.empty() ? "" : ", ") + python_str_repr(choice);
        }
        throw argument_error(
            action, "invalid choice: " + python_str_repr(value) + " (choose from " + listed + ")");
      }
    }
    check_exclusive(action);
    const std::string key = key_of(action);
    switch (action.nargs) {
      case Nargs::kZero:
        parsed_.switches.insert(key);
        break;
      case Nargs::kOne:
        // Empty only for a lone "--" that argparse took away.
        (action.flags.empty() ? parsed_.positionals : parsed_.values)[key] =
            values.empty() ? "" : values[0];
        break;
      case Nargs::kOptional:
        if (!values.empty()) {
          parsed_.positionals[key] = values[0];
        }
        break;
      case Nargs::kListOfOne:
        parsed_.values[key] = values.at(0);
        break;
      case Nargs::kOneOrMore:
        parsed_.lists[key] = values;
        break;
      case Nargs::kCommand: {
        const auto& commands = parser_.commands;
        if (std::none_of(commands.begin(), commands.end(),
                         [&](const auto& c) { return c.first == values[0]; })) {
          // Plainer than argparse's "argument <its help>: invalid choice": the word
          // refused and the valid ones. The top level has commands, the levels below verbs.
          std::string choices;
          for (const auto& command : commands) {
            choices += (choices.empty() ? "" : ", ") + command.first;
          }
          const bool top = parser_.prog.find(' ') == std::string::npos;
          throw UsageError("'" + values[0] + "' is not a " + (top ? "command" : "verb") + " of '" +
                           parser_.prog + "'; choose one of: " + choices);
        }
        parsed_.command = values[0];
        parsed_.rest.assign(values.begin() + 1, values.end());
        break;
      }
    }
  }

  // argparse's mutually exclusive groups, of two arguments each.
  void check_exclusive(const Argument& action) {
    const auto& all = parser_.arguments;
    for (size_t i = 0; i + 1 < all.size(); ++i) {
      if (!all[i].exclusive_with_next) {
        continue;
      }
      const Argument* other = &action == &all[i]       ? &all[i + 1]
                              : &action == &all[i + 1] ? &all[i]
                                                       : nullptr;
      if (other != nullptr && seen_.count(other) > 0) {
        throw argument_error(action, "not allowed with argument " + action_name(*other));
      }
    }
    seen_.insert(&action);
  }

  const Parser& parser_;
  const std::vector<std::string>& args_;
  std::set<const Argument*> seen_;
  std::vector<std::pair<std::string, const Argument*>> option_strings_;
  std::vector<const Argument*> positionals_;  // those not consumed yet
  std::string pattern_;
  ParsedArgs parsed_;
};

}  // namespace

const Argument& help_argument() {
  static const Argument help{{"-h", "--help"}, "", Nargs::kZero, "show this help message and exit"};
  return help;
}

std::string metavar_of(const Argument& argument) {
  if (!argument.metavar.empty()) {
    return argument.metavar;
  }
  if (!argument.choices.empty()) {
    std::string listed;
    for (const auto& choice : argument.choices) {
      listed += (listed.empty() ? "" : ",") + choice;
    }
    return "{" + listed + "}";
  }
  std::string metavar = dest_of(argument);
  if (!argument.flags.empty()) {
    std::transform(metavar.begin(), metavar.end(), metavar.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  }
  return metavar;
}

ParsedArgs parse_known(const Parser& parser, const std::vector<std::string>& args) {
  return ArgparseRun(parser, args).run();
}

std::optional<long long> python_int_value(const std::string& text) {
  static const std::regex number("[ \\t\\n\\r\\f\\v]*[+-]?\\d(?:_?\\d)*[ \\t\\n\\r\\f\\v]*");
  if (!std::regex_match(text, number)) {
    return std::nullopt;
  }
  std::string digits = text;
  digits.erase(std::remove(digits.begin(), digits.end(), '_'), digits.end());
  errno = 0;
  const long long value = std::strtoll(digits.c_str(), nullptr, 10);
  if (errno == ERANGE) {
    return std::nullopt;
  }
  return value;
}

std::optional<double> python_float_value(const std::string& text) {
  static const std::regex number(
      "[ \\t\\n\\r\\f\\v]*[+-]?(?:(?:\\d(?:_?\\d)*(?:\\.(?:\\d(?:_?\\d)*)?)?|\\.\\d(?:_?\\d)*)"
      "(?:[eE][+-]?\\d(?:_?\\d)*)?|[iI][nN][fF](?:[iI][nN][iI][tT][yY])?|[nN][aA][nN])"
      "[ \\t\\n\\r\\f\\v]*");
  if (!std::regex_match(text, number)) {
    return std::nullopt;
  }
  std::string digits = text;
  digits.erase(std::remove(digits.begin(), digits.end(), '_'), digits.end());
  return std::strtod(digits.c_str(), nullptr);
}

}  // namespace ros2_lite
