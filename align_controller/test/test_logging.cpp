// Each case runs the probe as its own process: the logger reads its
// environment once per process.
#include <gtest/gtest.h>

#include "log_probe_run.hpp"

namespace {

using test_support::ChildProcess;

// A quiet set-up: console only, no notices.
LogEnv console_at(const char* level) { return {"true", "false", std::string(level)}; }

TEST(LoggerSetup, NothingSetGivesThreeNoticesAheadOfFirstLine) {
  EXPECT_EQ(run_probe({}, {"i", "w", "e"}),
            (Lines{kStdoutNotSet, kSystemdNotSet, kLevelNotSet, "  1 [INFO] info 1",
                   "  2 [WARN] warn 2", "  3 [ERROR] error 3"}));
}

TEST(LoggerSetup, NoLogCallReadsNothing) {
  EXPECT_EQ(run_probe({}, {"lines"}).size(), 1u);
  EXPECT_EQ(run_probe({}, {}), Lines{});
}

TEST(LoggerSetup, ValidValuesGiveNoNotice) {
  EXPECT_EQ(run_probe({"true", "false", "info"}, {"i"}), Lines{"  1 [INFO] info 1"});
}

TEST(LoggerSetup, StdoutFalseSilencesEveryCall) {
  EXPECT_EQ(run_probe({"false", std::nullopt, std::nullopt}, {"i", "w", "e", "p", "v"}),
            (Lines{kSystemdNotSet, kLevelNotSet}));
  EXPECT_EQ(run_probe({"false", "false", "error"}, {"i", "w", "e"}), Lines{});
}

TEST(LoggerSetup, InvalidStdoutKeepsConsole) {
  for (const char* value : {"", "TRUE", "True", "False", "1", " true", "true ", "false\t", "yes"}) {
    EXPECT_EQ(run_probe({std::string(value), "false", "info"}, {"w"}),
              (Lines{kStdoutInvalid, "  1 [WARN] warn 1"}))
        << "SPDLOG_STDOUT='" << value << "'";
  }
}

TEST(LoggerSetup, InvalidSystemdGivesItsNotice) {
  for (const char* value : {"", "TRUE", "1", " true", "true ", "on"}) {
    EXPECT_EQ(run_probe({"true", std::string(value), "info"}, {"e"}),
              (Lines{kSystemdInvalid, "  1 [ERROR] error 1"}))
        << "SPDLOG_SYSTEMD='" << value << "'";
  }
}

TEST(LoggerSetup, NoticesComeInVariableOrder) {
  EXPECT_EQ(run_probe({"no", std::nullopt, "loud"}, {"i"}),
            (Lines{kStdoutInvalid, kSystemdNotSet, kLevelInvalid, "  1 [INFO] info 1"}));
  EXPECT_EQ(run_probe({std::nullopt, "maybe", std::nullopt}, {"i"}),
            (Lines{kStdoutNotSet, kSystemdInvalid, kLevelNotSet, "  1 [INFO] info 1"}));
}

TEST(LoggerSetup, EnvironmentIsReadOnce) {
  EXPECT_EQ(
      run_probe(console_at("info"), {"i", "SPDLOG_LEVEL=critical", "SPDLOG_STDOUT=false", "i"}),
      (Lines{"  1 [INFO] info 1", "  2 [INFO] info 2"}));
}

struct LevelCase {
  const char* value;
  Lines expected;  // output of "i w e seq"
};

class LoggerLevel : public ::testing::TestWithParam<LevelCase> {};

TEST_P(LoggerLevel, FiltersAndNumbersPassingLines) {
  EXPECT_EQ(run_probe(console_at(GetParam().value), {"i", "w", "e", "seq"}), GetParam().expected);
}

const Lines kAllPass{"  1 [INFO] info 1", "  2 [WARN] warn 2", "  3 [ERROR] error 3", "sequence 3"};
Lines invalid_level() {
  Lines lines{kLevelInvalid};
  lines.insert(lines.end(), kAllPass.begin(), kAllPass.end());
  return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoggerLevel,
    ::testing::Values(LevelCase{"trace", kAllPass}, LevelCase{"debug", kAllPass},
                      LevelCase{"info", kAllPass},
                      LevelCase{"warning",
                                {"  1 [WARN] warn 2", "  2 [ERROR] error 3", "sequence 2"}},
                      LevelCase{"error", {"  1 [ERROR] error 3", "sequence 1"}},
                      LevelCase{"critical", {"sequence 0"}}, LevelCase{"warn", invalid_level()},
                      LevelCase{"off", invalid_level()}, LevelCase{"err", invalid_level()},
                      LevelCase{"Info", invalid_level()}, LevelCase{"WARNING", invalid_level()},
                      LevelCase{" info", invalid_level()}, LevelCase{"error ", invalid_level()},
                      LevelCase{"", invalid_level()}, LevelCase{"2", invalid_level()}));

TEST(LogLineNumber, WrapsAfter127) {
  const Lines lines = run_probe(console_at("info"), {"i129"});
  ASSERT_EQ(lines.size(), 129u);
  EXPECT_EQ(lines[0], "  1 [INFO] info 1");
  EXPECT_EQ(lines[98], " 99 [INFO] info 99");
  EXPECT_EQ(lines[126], "127 [INFO] info 127");
  EXPECT_EQ(lines[127], "  0 [INFO] info 128");
  EXPECT_EQ(lines[128], "  1 [INFO] info 129");
}

TEST(LogLineNumber, CounterIsEightBits) {
  const Lines lines =
      run_probe({"false", "false", "info"}, {"i255", "seq", "w", "seq", "e44", "seq"});
  EXPECT_EQ(lines, (Lines{"sequence 255", "sequence 0", "sequence 44"}));
}

TEST(LogLineNumber, DroppedCallsUseNoNumber) {
  EXPECT_EQ(run_probe(console_at("warning"), {"i", "w", "i3", "e", "i", "w"}),
            (Lines{"  1 [WARN] warn 2", "  2 [ERROR] error 6", "  3 [WARN] warn 8"}));
  EXPECT_EQ(run_probe(console_at("error"), {"i", "w", "seq", "e"}),
            (Lines{"sequence 0", "  1 [ERROR] error 3"}));
}

TEST(LogLineNumber, AdvancesWithoutAnySink) {
  EXPECT_EQ(run_probe({"false", "false", "warning"}, {"i", "w", "e", "seq"}), Lines{"sequence 2"});
}

TEST(LogLineFormat, MessageFollowsPrefix) {
  EXPECT_EQ(
      run_probe(console_at("info"), {"p", "v"}),
      (Lines{"  1 [INFO] plain text", "  2 [INFO] Align request callback: -3, 0.25, -1.5e-07"}));
}

// Under a pseudo-terminal that announces colours the console sink would colour
// a colour range; the "%v" pattern has none.
TEST(LogLineFormat, NoColourEscapesOnTerminal) {
  ChildProcess::Options options = options_for({std::nullopt, "false", "info"});
  options.set_env.push_back("TERM=xterm-256color");
  options.set_env.push_back("COLORTERM=truecolor");
  ChildProcess script({"script", "-qec", std::string(LOG_PROBE_PATH) + " i w e", "/dev/null"},
                      options);
  ASSERT_EQ(script.wait_exit(kTimeout), 0) << script.stderr_text();
  const std::string text = script.stdout_text();
  EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
  EXPECT_EQ(text, std::string(kStdoutNotSet) + "\r\n  1 [INFO] info 1\r\n  2 [WARN] warn 2\r\n" +
                      "  3 [ERROR] error 3\r\n");
}

TEST(LogLineFormat, NoColourEscapesOffTerminal) {
  ChildProcess::Options options = options_for(console_at("info"));
  options.set_env.push_back("TERM=xterm-256color");
  options.set_env.push_back("COLORTERM=truecolor");
  ChildProcess probe({LOG_PROBE_PATH, "w"}, options);
  ASSERT_EQ(probe.wait_exit(kTimeout), 0);
  EXPECT_EQ(probe.stdout_text(), "  1 [WARN] warn 1\n");
}

}  // namespace
