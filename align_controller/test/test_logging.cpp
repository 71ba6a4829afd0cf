// Each case runs the probe as its own process: the logger reads its
// environment once per process.
#include <gtest/gtest.h>

#include "log_probe_run.hpp"

namespace {

using test_support::ChildProcess;

// A quiet set-up: console only, no notices.
LogEnv console_at(const char* level) { return {"true", "false", std::string(level)}; }

TEST(LoggerSetup, NoticesComeInVariableOrderAheadOfFirstLine) {
  const std::pair<LogEnv, Lines> cases[] = {
      {{}, {kStdoutNotSet, kSystemdNotSet, kLevelNotSet}},
      {{"no", std::nullopt, "loud"}, {kStdoutInvalid, kSystemdNotSet, kLevelInvalid}},
      {{std::nullopt, "maybe", std::nullopt}, {kStdoutNotSet, kSystemdInvalid, kLevelNotSet}},
  };
  for (auto [env, expected] : cases) {
    expected.push_back("  1 [INFO] info 1");
    EXPECT_EQ(run_probe(env, {"i"}), expected);
  }
  // Without a log call nothing is read, so nothing is noticed.
  EXPECT_EQ(run_probe({}, {"lines"}).size(), 1u);
}

TEST(LoggerSetup, OnlyExactlyTrueOrFalseIsValid) {
  for (const char* value : {"", "TRUE", "True", "False", "1", " true", "true ", "false\t", "yes"}) {
    EXPECT_EQ(run_probe({std::string(value), "false", "info"}, {"w"}),
              (Lines{kStdoutInvalid, "  1 [WARN] warn 1"}))
        << "SPDLOG_STDOUT='" << value << "'";
    EXPECT_EQ(run_probe({"true", std::string(value), "info"}, {"w"}),
              (Lines{kSystemdInvalid, "  1 [WARN] warn 1"}))
        << "SPDLOG_SYSTEMD='" << value << "'";
  }
}

TEST(LoggerSetup, EnvironmentIsReadOnce) {
  EXPECT_EQ(
      run_probe(console_at("info"), {"i", "SPDLOG_LEVEL=critical", "SPDLOG_STDOUT=false", "i"}),
      (Lines{"  1 [INFO] info 1", "  2 [INFO] info 2"}));
}

TEST(LoggerLevel, FiltersAndNumbersPassingLines) {
  const Lines all{"  1 [INFO] info 1", "  2 [WARN] warn 2", "  3 [ERROR] error 3", "sequence 3"};
  Lines invalid{kLevelInvalid};
  invalid.insert(invalid.end(), all.begin(), all.end());
  const std::pair<const char*, Lines> table[] = {
      {"trace", all},
      {"debug", all},
      {"info", all},
      {"warning", {"  1 [WARN] warn 2", "  2 [ERROR] error 3", "sequence 2"}},
      {"error", {"  1 [ERROR] error 3", "sequence 1"}},
      {"critical", {"sequence 0"}},
  };
  for (const auto& [level, expected] : table) {
    EXPECT_EQ(run_probe(console_at(level), {"i", "w", "e", "seq"}), expected) << level;
  }
  for (const char* level : {"warn", "off", "err", "Info", "WARNING", " info", "error ", "", "2"}) {
    EXPECT_EQ(run_probe(console_at(level), {"i", "w", "e", "seq"}), invalid) << level;
  }
}

TEST(LogLineNumber, ShowsSevenOfEightBits) {
  const Lines lines = run_probe(console_at("info"), {"i129"});
  ASSERT_EQ(lines.size(), 129u);
  EXPECT_EQ(lines[126], "127 [INFO] info 127");
  EXPECT_EQ(lines[127], "  0 [INFO] info 128");
  EXPECT_EQ(lines[128], "  1 [INFO] info 129");
  EXPECT_EQ(run_probe({"false", "false", "info"}, {"i255", "seq", "w", "seq", "e44", "seq"}),
            (Lines{"sequence 255", "sequence 0", "sequence 44"}));
}

TEST(LogLineNumber, DroppedCallsUseNoNumberAndNoSinkStillCounts) {
  EXPECT_EQ(run_probe(console_at("warning"), {"i", "w", "i3", "e", "i", "w"}),
            (Lines{"  1 [WARN] warn 2", "  2 [ERROR] error 6", "  3 [WARN] warn 8"}));
  EXPECT_EQ(run_probe({"false", "false", "warning"}, {"i", "w", "e", "seq"}), Lines{"sequence 2"});
}

// With a terminal that announces colours the console sink would colour a
// colour range; the "%v" pattern has none.
TEST(LogLineFormat, NoColourEscapesOnATerminalOrOff) {
  ChildProcess::Options options = options_for(console_at("info"));
  options.set_env.push_back("TERM=xterm-256color");
  options.set_env.push_back("COLORTERM=truecolor");
  ChildProcess script({"script", "-qec", std::string(LOG_PROBE_PATH) + " i w e", "/dev/null"},
                      options);
  ASSERT_EQ(script.wait_exit(kTimeout), 0) << script.stderr_text();
  EXPECT_EQ(script.stdout_text(),
            "  1 [INFO] info 1\r\n  2 [WARN] warn 2\r\n  3 [ERROR] error 3\r\n");
  ChildProcess probe({LOG_PROBE_PATH, "w"}, options);
  ASSERT_EQ(probe.wait_exit(kTimeout), 0);
  EXPECT_EQ(probe.stdout_text(), "  1 [WARN] warn 1\n");
}

}  // namespace
