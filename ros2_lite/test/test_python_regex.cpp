// --filter's Python regular expressions, matched as re.match matches them.
#include <gtest/gtest.h>

#include "python_regex.hpp"

namespace {

using ros2_lite::PatternError;
using ros2_lite::PythonRegex;

bool matches(const char* pattern, const std::string& text) {
  return PythonRegex(pattern).match(text);
}

TEST(PythonRegex, MatchesAtTheStartAsReMatch) {
  EXPECT_TRUE(matches("kp", "kp_w_"));
  EXPECT_FALSE(matches("w_", "kp_w_"));
  EXPECT_TRUE(matches("(?i)KP", "kp_w_"));
  EXPECT_TRUE(matches("\\Akp", "kp_u_"));
  EXPECT_TRUE(matches("kp_w_\\Z", "kp_w_"));
  EXPECT_FALSE(matches("kp_w\\Z", "kp_w_"));
  // '$' also before a final newline, '\Z' not; '.' takes no newline without (?s).
  EXPECT_TRUE(matches(".*_w_$", "kp_w_\n"));
  EXPECT_FALSE(matches(".*_w_\\Z", "kp_w_\n"));
  EXPECT_FALSE(matches("kp.", "kp\n"));
  EXPECT_TRUE(matches("(?s)kp.", "kp\n"));
  EXPECT_TRUE(matches("[kl]p?_", "l_"));
  EXPECT_TRUE(matches("[]a]", "]"));
  EXPECT_TRUE(matches("[^]x]", "a"));
  EXPECT_TRUE(matches("[[:]+x", "[:x"));
  EXPECT_TRUE(matches("a{,2}b", "aab"));
  EXPECT_TRUE(matches("a{x}", "a{x}"));
  EXPECT_TRUE(matches("(?P<n>a)b(?P=n)", "aba"));
  EXPECT_TRUE(matches("(a)\\1", "aa"));
  EXPECT_TRUE(matches("\\s", "\x1c"));
  EXPECT_TRUE(matches("\\x41\\101\\n?", "AA"));
  EXPECT_TRUE(matches("(?#note)k(?=p)", "kp"));
  EXPECT_TRUE(matches("a\\-b\\_", "a-b_"));
}

TEST(PythonRegex, RefusedOrNotOursWithAReason) {
  const auto reason = [](const char* pattern) {
    try {
      PythonRegex regex(pattern);
    } catch (const PatternError& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_EQ(reason("(?<=a)b"), "lookbehind not supported");
  EXPECT_EQ(reason("(?m)^a"), "the flag (?m) not supported");
  EXPECT_EQ(reason("a*+"), "possessive repeats not supported");
  EXPECT_EQ(reason("(?i:a)"), "scoped flags not supported");
  EXPECT_EQ(reason("\xc3\xa9"), "non-ASCII characters not supported");
  EXPECT_EQ(reason("a(?i)"), "global flags not at the start of the expression at position 1");
  EXPECT_EQ(reason("("), "missing ), unterminated subpattern at position 1");
  EXPECT_EQ(reason("a)"), "unbalanced parenthesis at position 1");
  EXPECT_EQ(reason("\\q"), "bad escape \\q at position 2");
  EXPECT_EQ(reason("[a"), "unterminated character set at position 0");
  EXPECT_EQ(reason("(a\\1)"), "cannot refer to an open group at position 4");
  EXPECT_EQ(reason("a{3,1}"), "min repeat greater than max repeat at position 1");
  EXPECT_NE(reason("*a"), "");
}

}  // namespace
