#include "python_regex.hpp"

#include <cctype>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

namespace ros2_lite {
namespace {

// Python's \s on str: str.isspace(), which for ASCII includes \x1c-\x1f.
constexpr const char* kSpaces = " \\t\\n\\r\\f\\v\\x1c-\\x1f";

std::string hex(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof(text), "\\x%02x", value);
  return text;
}

bool is_octal(char c) { return c >= '0' && c <= '7'; }

class Translation {
 public:
  explicit Translation(const std::string& pattern) : p_(pattern) {}

  std::string run(bool& icase) {
    for (const char c : p_) {
      if (static_cast<unsigned char>(c) > 0x7f) {
        unsupported("non-ASCII characters");
      }
    }
    global_flags();
    icase = icase_;
    while (i_ < p_.size()) {
      item();
    }
    if (!open_.empty()) {
      invalid("missing ), unterminated subpattern");
    }
    return out_;
  }

 private:
  [[noreturn]] void invalid(const std::string& what) const {
    throw PatternError(what + " at position " + std::to_string(i_));
  }
  [[noreturn]] void unsupported(const std::string& what) const {
    throw PatternError(what + " not supported");
  }

  // (?aiLmsux) at the start; Python 3.11 refuses them anywhere else.
  void global_flags() {
    while (p_.compare(i_, 2, "(?") == 0 && i_ + 2 < p_.size() &&
           std::string("aiLmsux").find(p_[i_ + 2]) != std::string::npos) {
      size_t j = i_ + 2;
      std::string flags;
      while (j < p_.size() && std::string("aiLmsux").find(p_[j]) != std::string::npos) {
        flags += p_[j++];
      }
      if (j >= p_.size() || p_[j] != ')') {
        // A scoped "(?i:...)" or a malformed group.
        return;
      }
      for (const char flag : flags) {
        if (flag == 'i') {
          icase_ = true;
        } else if (flag == 's') {
          dotall_ = true;
        } else if (flag == 'L') {
          invalid("bad inline flag: cannot use 'L' flag with a str pattern");
        } else if (flag == 'm' || flag == 'x') {
          unsupported(std::string("the flag (?") + flag + ")");
        }
      }
      i_ = j + 1;
    }
  }

  // The character an escape stands for ("\x41", "\101", "\n"), as one ECMAScript escape.
  std::string character_escape(char c, bool in_class) {
    static const std::map<char, unsigned> named{{'a', 7},  {'f', 12}, {'n', 10},
                                                {'r', 13}, {'t', 9},  {'v', 11}};
    if (named.count(c) != 0) {
      return hex(named.at(c));
    }
    if (c == 'b' && in_class) {
      return hex(8);
    }
    if (c == 'x' || c == 'u' || c == 'U') {
      const size_t digits = c == 'x' ? 2 : c == 'u' ? 4 : 8;
      unsigned value = 0;
      for (size_t k = 0; k < digits; ++k) {
        if (i_ >= p_.size() || !std::isxdigit(static_cast<unsigned char>(p_[i_]))) {
          invalid(std::string("incomplete escape \\") + c);
        }
        value =
            value * 16 + static_cast<unsigned>(std::stoi(std::string(1, p_[i_++]), nullptr, 16));
      }
      if (value > 0x7f) {
        unsupported("non-ASCII characters");
      }
      return hex(value);
    }
    if (c == '0' ||
        (is_octal(c) && i_ + 1 < p_.size() && is_octal(p_[i_]) && is_octal(p_[i_ + 1])) ||
        (in_class && is_octal(c))) {
      unsigned value = static_cast<unsigned>(c - '0');
      for (size_t k = 0; k < 2 && i_ < p_.size() && is_octal(p_[i_]); ++k) {
        value = value * 8 + static_cast<unsigned>(p_[i_++] - '0');
      }
      if (value > 0377) {
        invalid("octal escape value outside of range 0-0o377");
      }
      if (value > 0x7f) {
        unsupported("non-ASCII characters");
      }
      return hex(value);
    }
    if (!std::isalnum(static_cast<unsigned char>(c))) {
      return hex(static_cast<unsigned char>(c));
    }
    invalid(std::string("bad escape \\") + c);
  }

  void escape() {
    if (++i_ >= p_.size()) {
      invalid("bad escape (end of pattern)");
    }
    const char c = p_[i_++];
    switch (c) {
      case 'A':
        out_ += "^";
        return;
      case 'Z':
        out_ += "$";
        return;
      case 'b':
      case 'B':
      case 'd':
      case 'D':
      case 'w':
      case 'W':
        out_ += std::string("\\") + c;
        return;
      case 's':
        out_ += std::string("[") + kSpaces + "]";
        return;
      case 'S':
        out_ += std::string("[^") + kSpaces + "]";
        return;
      default:
        break;
    }
    if (c >= '1' && c <= '9' &&
        !(i_ + 1 < p_.size() && is_octal(c) && is_octal(p_[i_]) && is_octal(p_[i_ + 1]))) {
      std::string number(1, c);
      if (i_ < p_.size() && std::isdigit(static_cast<unsigned char>(p_[i_]))) {
        number += p_[i_++];
      }
      back_reference(std::stoi(number));
      return;
    }
    out_ += character_escape(c, false);
  }

  void back_reference(int group) {
    if (closed_.count(group) == 0) {
      invalid(group <= groups_ ? "cannot refer to an open group" : "invalid group reference");
    }
    out_ += "\\" + std::to_string(group);
  }

  void character_class() {
    const size_t start = i_++;
    out_ += "[";
    if (i_ < p_.size() && p_[i_] == '^') {
      out_ += "^";
      ++i_;
    }
    bool first = true;
    while (true) {
      if (i_ >= p_.size()) {
        i_ = start;
        invalid("unterminated character set");
      }
      const char c = p_[i_];
      if (c == ']' && !first) {
        ++i_;
        break;
      }
      first = false;
      if (c == '\\') {
        if (++i_ >= p_.size()) {
          invalid("bad escape (end of pattern)");
        }
        const char e = p_[i_++];
        if (e == 'd' || e == 'D' || e == 'w' || e == 'W') {
          out_ += std::string("\\") + e;
        } else if (e == 's') {
          out_ += kSpaces;
        } else if (e == 'S') {
          unsupported("\\S in a character class");
        } else {
          out_ += character_escape(e, true);
        }
        continue;
      }
      ++i_;
      out_ += c == '[' || c == ']' || c == '^' ? std::string("\\") + c : std::string(1, c);
    }
    out_ += "]";
  }

  void group() {
    const size_t start = i_++;
    if (i_ < p_.size() && p_[i_] == '?') {
      ++i_;
      const std::string rest = p_.substr(i_);
      if (rest.rfind(":", 0) == 0 || rest.rfind("=", 0) == 0 || rest.rfind("!", 0) == 0) {
        out_ += "(?" + rest.substr(0, 1);
        ++i_;
        open_.push_back(0);
      } else if (rest.rfind("P<", 0) == 0) {
        const size_t end = p_.find('>', i_);
        const std::string name = p_.substr(i_ + 2, end == std::string::npos ? 0 : end - i_ - 2);
        if (end == std::string::npos || name.empty() || names_.count(name) != 0) {
          invalid("bad or redefined group name");
        }
        i_ = end + 1;
        names_[name] = ++groups_;
        open_.push_back(groups_);
        out_ += "(";
      } else if (rest.rfind("P=", 0) == 0) {
        const size_t end = p_.find(')', i_);
        const std::string name = p_.substr(i_ + 2, end == std::string::npos ? 0 : end - i_ - 2);
        if (end == std::string::npos || names_.count(name) == 0) {
          invalid("unknown group name");
        }
        i_ = end + 1;
        back_reference(names_.at(name));
      } else if (rest.rfind("#", 0) == 0) {
        const size_t end = p_.find(')', i_);
        if (end == std::string::npos) {
          invalid("missing ), unterminated comment");
        }
        i_ = end + 1;
      } else if (rest.rfind("<=", 0) == 0 || rest.rfind("<!", 0) == 0) {
        unsupported("lookbehind");
      } else if (!rest.empty() && std::string("aiLmsux-").find(rest[0]) != std::string::npos) {
        i_ = start;
        // Flags anywhere but the start: Python 3.11 refuses global ones, scoped ones are ours.
        if (p_.find(':', start) < p_.find(')', start)) {
          unsupported("scoped flags");
        }
        invalid("global flags not at the start of the expression");
      } else {
        unsupported("the group (?" + rest.substr(0, 1));
      }
      return;
    }
    open_.push_back(++groups_);
    out_ += "(";
  }

  // A repeat "{m,n}", or nothing when '{' is a literal, as sre_parse decides.
  bool repeat() {
    size_t j = i_ + 1;
    std::string low;
    std::string high;
    while (j < p_.size() && std::isdigit(static_cast<unsigned char>(p_[j]))) {
      low += p_[j++];
    }
    bool comma = false;
    if (j < p_.size() && p_[j] == ',') {
      comma = true;
      ++j;
      while (j < p_.size() && std::isdigit(static_cast<unsigned char>(p_[j]))) {
        high += p_[j++];
      }
    }
    if (j >= p_.size() || p_[j] != '}' || (low.empty() && !comma && high.empty())) {
      return false;
    }
    if (!low.empty() && !high.empty() && std::stoull(high) < std::stoull(low)) {
      invalid("min repeat greater than max repeat");
    }
    out_ += "{" + (low.empty() ? "0" : low) + (comma ? "," + high : "") + "}";
    i_ = j + 1;
    quantifier_follows();
    return true;
  }

  // After a repeat: a lazy '?' is fine, Python 3.11's possessive '+' is not ours.
  void quantifier_follows() {
    if (i_ < p_.size() && p_[i_] == '?') {
      out_ += "?";
      ++i_;
    } else if (i_ < p_.size() && p_[i_] == '+') {
      unsupported("possessive repeats");
    }
  }

  void item() {
    const char c = p_[i_];
    switch (c) {
      case '\\':
        escape();
        return;
      case '[':
        character_class();
        return;
      case '(':
        group();
        return;
      case ')':
        if (open_.empty()) {
          invalid("unbalanced parenthesis");
        }
        if (open_.back() != 0) {
          closed_.insert(open_.back());
        }
        open_.pop_back();
        out_ += ")";
        ++i_;
        return;
      case '.':
        out_ += dotall_ ? "[\\s\\S]" : "[^\\n]";
        ++i_;
        return;
      case '$':
        out_ += "(?=\\n?$)";
        ++i_;
        return;
      case '{':
        if (!repeat()) {
          out_ += "\\{";
          ++i_;
        }
        return;
      case '}':
      case ']':
        out_ += std::string("\\") + c;
        ++i_;
        return;
      case '*':
      case '+':
      case '?':
        out_ += c;
        ++i_;
        quantifier_follows();
        return;
      default:
        out_ += c;
        ++i_;
    }
  }

  const std::string& p_;
  size_t i_ = 0;
  std::string out_;
  bool icase_ = false;
  bool dotall_ = false;
  int groups_ = 0;
  std::vector<int> open_;  // the groups open, 0 for one that does not capture
  std::set<int> closed_;
  std::map<std::string, int> names_;
};

}  // namespace

std::string ecmascript_from_python(const std::string& pattern, bool& icase) {
  return Translation(pattern).run(icase);
}

PythonRegex::PythonRegex(const std::string& pattern) {
  bool icase = false;
  const std::string translated = ecmascript_from_python(pattern, icase);
  try {
    regex_ = std::regex(
        translated, icase ? std::regex::ECMAScript | std::regex::icase : std::regex::ECMAScript);
  } catch (const std::regex_error& e) {
    throw PatternError(e.what());
  }
}

bool PythonRegex::match(const std::string& text) const {
  return std::regex_search(text, regex_, std::regex_constants::match_continuous);
}

}  // namespace ros2_lite
