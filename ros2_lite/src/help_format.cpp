// argparse's HelpFormatter (Python 3.11) with RawDescriptionHelpFormatter's
// descriptions, as ros2cli's parsers use it: the same wrapping at the same width.
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <regex>

#include "command_line.hpp"

namespace ros2_lite {
namespace {

// _format_args
std::string format_args(const Argument& argument) {
  const std::string metavar = metavar_of(argument);
  switch (argument.nargs) {
    case Nargs::kOptional:
      return "[" + metavar + "]";
    case Nargs::kOneOrMore:
      return metavar + " [" + metavar + " ...]";
    case Nargs::kCommand:
      return metavar + " ...";
    default:
      return metavar;
  }
}

// One argument in the usage line.
std::string usage_part(const Argument& argument) {
  if (argument.flags.empty()) {
    return format_args(argument);
  }
  std::string part = argument.flags[0];
  if (argument.nargs != Nargs::kZero) {
    part += " " + format_args(argument);
  }
  return "[" + part + "]";
}

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) {
    text += (text.empty() ? "" : " ") + part;
  }
  return text;
}

// The arguments' usage, a mutually exclusive pair of options as "[-a | -b B]".
std::string usage_text(const std::vector<const Argument*>& arguments) {
  std::string text;
  for (size_t n = 0; n < arguments.size(); ++n) {
    std::string part = usage_part(*arguments[n]);
    if (arguments[n]->exclusive_with_next && n + 1 < arguments.size()) {
      const std::string second = usage_part(*arguments[++n]);
      part = part.substr(0, part.size() - 1) + " | " + second.substr(1);
    }
    text += (text.empty() ? "" : " ") + part;
  }
  return text;
}

// The usage of some arguments split as argparse's part_regexp splits it:
// "[...]" groups ending before white space, else words.
std::vector<std::string> usage_parts(const std::vector<const Argument*>& arguments) {
  const std::string text = usage_text(arguments);
  std::vector<std::string> parts;
  size_t i = 0;
  while ((i = text.find_first_not_of(' ', i)) != std::string::npos) {
    size_t end = std::string::npos;
    if (text[i] == '[' || text[i] == '(') {
      const char close = text[i] == '[' ? ']' : ')';
      for (size_t j = i + 1; j < text.size() && end == std::string::npos; ++j) {
        if (text[j] != close) {
          continue;
        }
        size_t k = j;
        while (k < text.size() && text[k] == close) {
          ++k;
        }
        if (k == text.size() || text[k] == ' ') {
          end = k;
        }
      }
    }
    if (end == std::string::npos) {
      end = std::min(text.find(' ', i), text.size());
    }
    parts.push_back(text.substr(i, end - i));
    i = end;
  }
  return parts;
}

// _format_usage's get_lines
std::vector<std::string> usage_lines(const std::vector<std::string>& parts,
                                     const std::string& indent, size_t text_width,
                                     const std::string* prefix = nullptr) {
  std::vector<std::string> lines;
  std::vector<std::string> line;
  long line_length = static_cast<long>(prefix != nullptr ? prefix->size() : indent.size()) - 1;
  for (const auto& part : parts) {
    if (line_length + 1 + static_cast<long>(part.size()) > static_cast<long>(text_width) &&
        !line.empty()) {
      lines.push_back(indent + joined(line));
      line.clear();
      line_length = static_cast<long>(indent.size()) - 1;
    }
    line.push_back(part);
    line_length += static_cast<long>(part.size()) + 1;
  }
  if (!line.empty()) {
    lines.push_back(indent + joined(line));
  }
  if (prefix != nullptr && !lines.empty()) {
    lines[0] = lines[0].substr(indent.size());
  }
  return lines;
}

std::vector<const Argument*> with_help(const Parser& parser, bool options) {
  std::vector<const Argument*> selected;
  if (options) {
    selected.push_back(&help_argument());
  }
  for (const auto& argument : parser.arguments) {
    if (argument.flags.empty() != options) {
      selected.push_back(&argument);
    }
  }
  return selected;
}

std::string invocation(const Argument& argument) {
  if (argument.flags.empty()) {
    return metavar_of(argument);
  }
  std::string text;
  for (const auto& flag : argument.flags) {
    text += (text.empty() ? "" : ", ") + flag;
    if (argument.nargs != Nargs::kZero) {
      text += " " + format_args(argument);
    }
  }
  return text;
}

// _format_action, inside a section (indent 2)
std::string format_action(const Argument& argument, size_t help_position, int width) {
  const size_t indent = 2;
  const std::string header = invocation(argument);
  const size_t action_width = help_position - indent - 2;
  std::string out(indent, ' ');
  size_t first_indent = 0;
  if (argument.help.empty()) {
    return out + header + "\n";
  }
  if (header.size() <= action_width) {
    out += header + std::string(action_width - header.size(), ' ') + "  ";
  } else {
    out += header + "\n";
    first_indent = help_position;
  }
  const size_t help_width =
      static_cast<size_t>(std::max(width - static_cast<int>(help_position), 11));
  const auto lines = wrap_text(argument.help, help_width);
  for (size_t i = 0; i < lines.size(); ++i) {
    out += std::string(i == 0 ? first_indent : help_position, ' ') + lines[i] + "\n";
  }
  return out;
}

std::string section(const std::string& heading, const std::string& items) {
  return items.empty() ? "" : "\n" + heading + ":\n" + items + "\n";
}

}  // namespace

int help_width() {
  long columns = 0;
  if (const char* given = std::getenv("COLUMNS")) {
    char* end = nullptr;
    columns = std::strtol(given, &end, 10);
    if (end == given || *end != '\0') {
      columns = 0;
    }
  }
  if (columns <= 0) {
    winsize size{};
    columns = ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
  }
  return static_cast<int>(columns) - 2;
}

namespace {

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
// \w, and textwrap's letter ([^\d\W]) and word_punct ([\w!"'&.,?]); bytes beyond
// ASCII count as letters, as the letters of UTF-8 text do.
bool is_word(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c & 0x80; }
bool is_letter(char c) { return is_word(c) && !std::isdigit(static_cast<unsigned char>(c)); }
bool is_word_punct(char c) {
  return is_word(c) || std::string("!\"'&.,?").find(c) != std::string::npos;
}

// textwrap's wordsep_re: runs of white space, "--" between words, and words, each
// hyphenated word split after its hyphens.
std::vector<std::string> wrap_chunks(const std::string& text) {
  const size_t n = text.size();
  const auto at = [&](size_t i) { return i < n ? text[i] : '\0'; };
  // "--..." followed by a word character, from i.
  const auto dashes_then_word = [&](size_t i) {
    size_t j = i;
    while (at(j) == '-') {
      ++j;
    }
    return j - i >= 2 && is_word(at(j)) ? j : 0;
  };
  std::vector<std::string> chunks;
  size_t pos = 0;
  while (pos < n) {
    size_t end = pos;
    if (is_space(text[pos])) {
      while (end < n && is_space(text[end])) {
        ++end;
      }
    } else if (pos > 0 && is_word_punct(text[pos - 1]) && dashes_then_word(pos) != 0) {
      end = dashes_then_word(pos);
      while (text[end - 1] != '-') {
        --end;
      }
    } else {
      for (end = pos + 1; end < n && !is_space(text[end]); ++end) {
        if (text[end] == '-' && end >= 2 &&
            ((is_letter(at(end - 2)) && is_letter(at(end - 1))) ||
             (end >= 3 && is_letter(at(end - 3)) && at(end - 2) == '-' &&
              is_letter(at(end - 1)))) &&
            is_letter(at(end + 1)) &&
            (is_letter(at(end + 2)) || (at(end + 2) == '-' && is_letter(at(end + 3))))) {
          ++end;
          break;
        }
        if (is_word_punct(text[end - 1]) && dashes_then_word(end) != 0) {
          break;
        }
      }
    }
    chunks.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return chunks;
}

}  // namespace

std::vector<std::string> wrap_text(const std::string& text, size_t width) {
  std::string collapsed;
  for (size_t i = 0; (i = text.find_first_not_of(" \t\n\r\f\v", i)) != std::string::npos;) {
    const size_t end = std::min(text.find_first_of(" \t\n\r\f\v", i), text.size());
    collapsed += (collapsed.empty() ? "" : " ") + text.substr(i, end - i);
    i = end;
  }
  // textwrap's _wrap_chunks, the chunks taken from the front.
  std::vector<std::string> chunks = wrap_chunks(collapsed);
  std::reverse(chunks.begin(), chunks.end());
  std::vector<std::string> lines;
  while (!chunks.empty()) {
    std::vector<std::string> line;
    size_t length = 0;
    // textwrap drops white space (and what a broken word left empty) at a line's ends.
    const auto blank = [](const std::string& chunk) { return chunk.empty() || is_space(chunk[0]); };
    if (blank(chunks.back()) && !lines.empty()) {
      chunks.pop_back();
    }
    while (!chunks.empty() && length + chunks.back().size() <= width) {
      length += chunks.back().size();
      line.push_back(chunks.back());
      chunks.pop_back();
    }
    if (!chunks.empty() && chunks.back().size() > width) {
      // A word longer than a line fills the current one, broken after a hyphen if it can.
      const size_t room = std::max<long>(static_cast<long>(width) - static_cast<long>(length), 1);
      std::string& chunk = chunks.back();
      size_t end = room;
      if (chunk.size() > room) {
        const size_t hyphen = chunk.rfind('-', room - 1);
        if (hyphen != std::string::npos && hyphen > 0 && chunk.find_first_not_of('-') < hyphen) {
          end = hyphen + 1;
        }
      }
      line.push_back(chunk.substr(0, end));
      chunk = chunk.substr(end);
    }
    if (!line.empty() && blank(line.back())) {
      line.pop_back();
    }
    if (!line.empty()) {
      std::string joined_line;
      for (const auto& part : line) {
        joined_line += part;
      }
      lines.push_back(joined_line);
    }
  }
  return lines;
}

std::string format_usage(const Parser& parser, int width) {
  const std::string prefix = "usage: ";
  const auto optionals = with_help(parser, true);
  const auto positionals = with_help(parser, false);
  std::vector<const Argument*> all = optionals;
  all.insert(all.end(), positionals.begin(), positionals.end());
  const std::string usage = parser.prog + " " + usage_text(all);
  const size_t text_width = static_cast<size_t>(std::max(width, 0));
  if (prefix.size() + usage.size() <= text_width) {
    return prefix + usage;
  }
  const auto opt_parts = usage_parts(optionals);
  const auto pos_parts = usage_parts(positionals);
  std::vector<std::string> lines;
  if (static_cast<double>(prefix.size() + parser.prog.size()) <= 0.75 * text_width) {
    const std::string indent(prefix.size() + parser.prog.size() + 1, ' ');
    std::vector<std::string> first{parser.prog};
    first.insert(first.end(), opt_parts.begin(), opt_parts.end());
    lines = usage_lines(first, indent, text_width, &prefix);
    const auto more = usage_lines(pos_parts, indent, text_width);
    lines.insert(lines.end(), more.begin(), more.end());
  } else {
    const std::string indent(prefix.size(), ' ');
    std::vector<std::string> parts = opt_parts;
    parts.insert(parts.end(), pos_parts.begin(), pos_parts.end());
    lines = usage_lines(parts, indent, text_width);
    if (lines.size() > 1) {
      lines = usage_lines(opt_parts, indent, text_width);
      const auto more = usage_lines(pos_parts, indent, text_width);
      lines.insert(lines.end(), more.begin(), more.end());
    }
    lines.insert(lines.begin(), parser.prog);
  }
  std::string text;
  for (const auto& line : lines) {
    text += (text.empty() ? "" : "\n") + line;
  }
  return prefix + text;
}

std::string format_help(const Parser& parser, int width) {
  const int max_help_position = std::min(24, std::max(width - 20, 4));
  size_t longest = 0;
  std::vector<const Argument*> listed = with_help(parser, false);
  const auto options = with_help(parser, true);
  listed.insert(listed.end(), options.begin(), options.end());
  for (const Argument* argument : listed) {
    longest = std::max(longest, invocation(*argument).size() + 2);
  }
  const size_t help_position = std::min(longest + 2, static_cast<size_t>(max_help_position));
  std::string positional_items;
  std::string option_items;
  std::string command_items;
  for (const Argument* argument : listed) {
    const std::string item = format_action(*argument, help_position, width);
    (argument->nargs == Nargs::kCommand ? command_items
     : argument->flags.empty()          ? positional_items
                                        : option_items) += item;
  }
  if (!parser.commands.empty()) {
    size_t name_width = 0;
    for (const auto& command : parser.commands) {
      name_width = std::max(name_width, command.first.size());
    }
    std::string listing;
    for (const auto& [name, about] : parser.commands) {
      listing += "  " + name + std::string(name_width - name.size(), ' ') + "  " + about + "\n";
    }
    command_items = listing + "\n\n" + command_items;
  }
  std::string help = format_usage(parser, width) + "\n\n";
  if (!parser.description.empty()) {
    help += parser.description + "\n\n";
  }
  help += section("positional arguments", positional_items) + section("options", option_items) +
          section("Commands", command_items);
  help = std::regex_replace(help, std::regex("\n\n\n+"), "\n\n");
  const size_t first = help.find_first_not_of('\n');
  const size_t last = help.find_last_not_of('\n');
  return first == std::string::npos ? "\n" : help.substr(first, last - first + 1) + "\n";
}

}  // namespace ros2_lite
