// Ports of PyYAML's Emitter.analyze_scalar, choose_scalar_style and its
// plain, single- and double-quoted writers, on code points as Python counts them.
#include "yaml_emit.hpp"

#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

#include "python_text.hpp"
#include "yaml_scalar.hpp"

namespace ros2_lite {
namespace {

using Text = std::vector<uint32_t>;

// Invalid UTF-8 is taken byte by byte, as Latin-1.
Text decode(const std::string& utf8) {
  if (auto text = code_points(utf8)) {
    return *text;
  }
  Text bytes;
  for (const unsigned char c : utf8) {
    bytes.push_back(c);
  }
  return bytes;
}

bool is_break(uint32_t c) { return c == '\n' || c == 0x85 || c == 0x2028 || c == 0x2029; }
bool is_space_or_break(uint32_t c) {
  return c == 0 || c == ' ' || c == '\t' || c == '\r' || is_break(c);
}
bool one_of(uint32_t c, const char* set) {
  for (; *set != '\0'; ++set) {
    if (c == static_cast<unsigned char>(*set)) {
      return true;
    }
  }
  return false;
}

struct Analysis {
  bool empty = false;
  bool multiline = false;
  bool allow_block_plain = true;
  bool allow_single_quoted = true;
};

// What PyYAML may write unescaped with allow_unicode.
bool is_printable_unicode(uint32_t c) {
  return c == 0x85 || (c >= 0xa0 && c <= 0xd7ff) || (c >= 0xe000 && c <= 0xfffd) ||
         (c >= 0x10000 && c < 0x10ffff);
}

Analysis analyze(const Text& s, bool allow_unicode) {
  Analysis a;
  if (s.empty()) {
    a.empty = true;
    return a;
  }
  bool block_indicators = false;
  bool line_breaks = false;
  bool special = false;
  bool leading_space = false, leading_break = false, trailing_space = false, trailing_break = false,
       break_space = false, space_break = false;
  const auto starts = [&](const char* prefix) {
    for (size_t k = 0; k < 3; ++k) {
      if (k >= s.size() || s[k] != static_cast<unsigned char>(prefix[k])) {
        return false;
      }
    }
    return true;
  };
  if (starts("---") || starts("...")) {
    block_indicators = true;
  }
  bool preceded_by_whitespace = true;
  bool followed_by_whitespace = s.size() == 1 || is_space_or_break(s[1]);
  bool previous_space = false;
  bool previous_break = false;
  for (size_t index = 0; index < s.size();) {
    const uint32_t ch = s[index];
    if (index == 0) {
      if (one_of(ch, "#,[]{}&*!|>'\"%@`") || (one_of(ch, "?:-") && followed_by_whitespace)) {
        block_indicators = true;
      }
    } else if ((ch == ':' && followed_by_whitespace) || (ch == '#' && preceded_by_whitespace)) {
      block_indicators = true;
    }
    if (is_break(ch)) {
      line_breaks = true;
    }
    if (!(ch == '\n' || (ch >= 0x20 && ch <= 0x7e)) &&
        !(allow_unicode && is_printable_unicode(ch) && ch != 0xfeff)) {
      special = true;
    }
    if (ch == ' ') {
      leading_space = leading_space || index == 0;
      trailing_space = trailing_space || index == s.size() - 1;
      break_space = break_space || previous_break;
      previous_space = true;
      previous_break = false;
    } else if (is_break(ch)) {
      leading_break = leading_break || index == 0;
      trailing_break = trailing_break || index == s.size() - 1;
      space_break = space_break || previous_space;
      previous_space = false;
      previous_break = true;
    } else {
      previous_space = previous_break = false;
    }
    ++index;
    preceded_by_whitespace = is_space_or_break(ch);
    followed_by_whitespace = index + 1 >= s.size() || is_space_or_break(s[index + 1]);
  }
  if (leading_space || leading_break || trailing_space || trailing_break || line_breaks ||
      block_indicators) {
    a.allow_block_plain = false;
  }
  if (break_space) {
    a.allow_block_plain = a.allow_single_quoted = false;
  }
  if (space_break || special) {
    a.allow_block_plain = a.allow_single_quoted = false;
  }
  a.multiline = line_breaks;
  return a;
}

// The writer's state, as the Emitter keeps it.
struct Writer {
  std::string out;
  size_t column;
  size_t indent;
  EmitStyle style;
  bool whitespace = false;

  void write(const Text& text, size_t start, size_t end) {
    for (size_t k = start; k < end; ++k) {
      out += utf8(text[k]);
    }
    column += end - start;
  }
  void write(const std::string& ascii) {
    out += ascii;
    column += ascii.size();
  }
  void line_break() {
    out += '\n';
    column = 0;
    whitespace = true;
  }
  // write_indent where indention is false: always a new line.
  void new_indented_line() {
    line_break();
    write(std::string(indent, ' '));
  }
  // Whether the column, moved by `ahead` (negative: back), is past the width.
  bool past_width(long ahead) const {
    return style.width != SIZE_MAX &&
           static_cast<long>(column) + ahead > static_cast<long>(style.width);
  }
  // The end of a run of spaces: a single one past the width becomes a line break.
  void spaces(const Text& text, size_t start, size_t end, bool may_fold) {
    if (start + 1 == end && past_width(0) && may_fold) {
      new_indented_line();
    } else {
      write(text, start, end);
    }
  }
};

void write_plain(Writer& w, const Text& text, bool split) {
  bool spaces = false;
  size_t start = 0;
  for (size_t end = 0; end <= text.size(); ++end) {
    const bool at_end = end == text.size();
    const uint32_t ch = at_end ? 0 : text[end];
    if (spaces) {
      if (at_end || ch != ' ') {
        w.spaces(text, start, end, split);
        start = end;
      }
    } else if (at_end || ch == ' ') {
      w.write(text, start, end);
      start = end;
    }
    spaces = !at_end && ch == ' ';
  }
}

void write_single_quoted(Writer& w, const Text& text, bool split) {
  w.write("'");
  bool spaces = false;
  bool breaks = false;
  size_t start = 0;
  for (size_t end = 0; end <= text.size(); ++end) {
    const bool at_end = end == text.size();
    const uint32_t ch = at_end ? 0 : text[end];
    if (spaces) {
      if (at_end || ch != ' ') {
        w.spaces(text, start, end, split && start != 0 && end != text.size());
        start = end;
      }
    } else if (breaks) {
      if (at_end || !is_break(ch)) {
        if (text[start] == '\n') {
          w.line_break();
        }
        for (size_t k = start; k < end; ++k) {
          w.line_break();
        }
        w.write(std::string(w.indent, ' '));
        start = end;
      }
    } else if (at_end || ch == ' ' || is_break(ch) || ch == '\'') {
      if (start < end) {
        w.write(text, start, end);
        start = end;
      }
    }
    if (ch == '\'' && !at_end) {
      w.write("''");
      start = end + 1;
    }
    if (!at_end) {
      spaces = ch == ' ';
      breaks = is_break(ch);
    }
  }
  w.write("'");
}

void write_double_quoted(Writer& w, const Text& text, bool split) {
  static const std::map<uint32_t, char> replacements{
      {0, '0'},     {7, 'a'},    {8, 'b'},    {9, 't'},      {10, 'n'},
      {11, 'v'},    {12, 'f'},   {13, 'r'},   {27, 'e'},     {'"', '"'},
      {'\\', '\\'}, {0x85, 'N'}, {0xa0, '_'}, {0x2028, 'L'}, {0x2029, 'P'}};
  w.write("\"");
  size_t start = 0;
  for (size_t end = 0; end <= text.size(); ++end) {
    const bool at_end = end == text.size();
    const uint32_t ch = at_end ? 0 : text[end];
    if (at_end || ch == '"' || ch == '\\' || ch == 0x85 || ch == 0x2028 || ch == 0x2029 ||
        ch == 0xfeff ||
        !((ch >= 0x20 && ch <= 0x7e) ||
          (w.style.allow_unicode &&
           ((ch >= 0xa0 && ch <= 0xd7ff) || (ch >= 0xe000 && ch <= 0xfffd))))) {
      if (start < end) {
        w.write(text, start, end);
        start = end;
      }
      if (!at_end) {
        char escaped[16];
        if (replacements.count(ch) != 0) {
          std::snprintf(escaped, sizeof(escaped), "\\%c", replacements.at(ch));
        } else if (ch <= 0xff) {
          std::snprintf(escaped, sizeof(escaped), "\\x%02X", static_cast<unsigned>(ch));
        } else if (ch <= 0xffff) {
          std::snprintf(escaped, sizeof(escaped), "\\u%04X", static_cast<unsigned>(ch));
        } else {
          std::snprintf(escaped, sizeof(escaped), "\\U%08X", static_cast<unsigned>(ch));
        }
        w.write(escaped);
        start = end + 1;
      }
    }
    // Folded before a space, or right after an escape, once past the width.
    const long pending = static_cast<long>(end) - static_cast<long>(start);
    if (0 < end && end + 1 < text.size() && (ch == ' ' || start >= end) && w.past_width(pending) &&
        split) {
      if (start < end) {
        w.write(text, start, end);
        start = end;
      }
      w.write("\\");
      w.new_indented_line();
      if (text[start] == ' ') {
        w.write("\\");
      }
    }
  }
  w.write("\"");
}

}  // namespace

std::string emit_str(const std::string& utf8, size_t column, size_t indent, bool key) {
  return emit_str(utf8, column, indent, key, EmitStyle{});
}

std::string emit_str(const std::string& utf8, size_t column, size_t indent, bool key,
                     const EmitStyle& style) {
  const Text text = decode(utf8);
  const Analysis analysis = analyze(text, style.allow_unicode);
  Writer w{"", column, indent, style};
  if (!key) {
    w.write(" ");
  }
  const bool implicit = implicit_tag(utf8) == "str";
  const bool split = !key;
  if (implicit && !(key && (analysis.empty || analysis.multiline)) && analysis.allow_block_plain) {
    write_plain(w, text, split);
  } else if (analysis.allow_single_quoted && !(key && analysis.multiline)) {
    write_single_quoted(w, text, split);
  } else {
    write_double_quoted(w, text, split);
  }
  return w.out;
}

}  // namespace ros2_lite
