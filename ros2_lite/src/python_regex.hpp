#pragma once

#include <regex>
#include <stdexcept>
#include <string>

namespace ros2_lite {

// A pattern Python's re module refuses, or one whose meaning this translation
// does not cover (the what() names which).
class PatternError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A Python regular expression as an ECMAScript one with the same meaning on
// ASCII text: flags (?i) (?s) (?a) (?u) at the start, \A \Z \d \w \s \b, '.'
// and '$' as Python has them, classes, groups (named too), lookaheads,
// back-references, {,n}. Lookbehinds, (?x), (?m), scoped flags, possessive
// and atomic forms and non-ASCII patterns throw PatternError, as do patterns
// Python refuses. Sets icase when the pattern asks for it.
std::string ecmascript_from_python(const std::string& pattern, bool& icase);

// Python's re.compile(pattern).match(text) is not None: a match at the start of text.
class PythonRegex {
 public:
  explicit PythonRegex(const std::string& pattern);
  bool match(const std::string& text) const;

 private:
  std::regex regex_;
};

}  // namespace ros2_lite
