// Journal records, checked in a private systemd-journald that the harness
// script starts in its own mount namespace for each run.
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "log_probe_run.hpp"

namespace {

using Record = std::map<std::string, std::string>;

// The string value of "key" in one line of journalctl's JSON output, escapes
// left as they are: a line end would show as "\n".
std::string json_field(const std::string& json, const std::string& key) {
  const std::string opener = "\"" + key + "\":\"";
  const size_t start = json.find(opener);
  if (start == std::string::npos) return "<missing>";
  const size_t from = start + opener.size();
  return json.substr(from, json.find('"', from) - from);
}

struct JournalRun {
  Lines program_stdout;
  std::vector<Record> records;
};

JournalRun run_with_journal(const LogEnv& env, const std::vector<std::string>& commands) {
  std::vector<std::string> argv{"bash", JOURNAL_HARNESS, LOG_PROBE_PATH};
  argv.insert(argv.end(), commands.begin(), commands.end());
  JournalRun run;
  bool in_journal = false;
  for (const std::string& line : run_logged(env, argv)) {
    if (line == "--- journal ---") {
      in_journal = true;
    } else if (!in_journal) {
      run.program_stdout.push_back(line);
    } else {
      Record record;
      for (const char* key :
           {"MESSAGE", "PRIORITY", "SYSLOG_IDENTIFIER", "CODE_FILE", "CODE_LINE", "CODE_FUNC"}) {
        record[key] = json_field(line, key);
      }
      run.records.push_back(record);
    }
  }
  EXPECT_TRUE(in_journal) << "harness printed no journal part";
  return run;
}

class LogJournal : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) {
      GTEST_SKIP() << "starting a private systemd-journald needs root";
    }
    // Where the probe's INFO, WARN and ERROR calls stand in its source.
    const Lines lines = run_probe({}, {"lines"});
    ASSERT_EQ(lines.size(), 1u);
    std::istringstream(lines[0].substr(6)) >> info_line_ >> warn_line_ >> error_line_;
  }

  Record expected(const std::string& message, const char* priority, int line,
                  const char* function) const {
    return {{"MESSAGE", message},
            {"PRIORITY", priority},
            {"SYSLOG_IDENTIFIER", "spdlog"},
            {"CODE_FILE", "./src/log_probe.cpp"},
            {"CODE_LINE", std::to_string(line)},
            {"CODE_FUNC", function}};
  }

  int info_line_ = 0;
  int warn_line_ = 0;
  int error_line_ = 0;
};

TEST_F(LogJournal, JournalOnlyCarriesTextLevelAndCallSite) {
  const JournalRun run = run_with_journal({"false", "true", std::nullopt}, {"i", "w", "e"});
  EXPECT_EQ(run.program_stdout, Lines{kLevelNotSet});
  ASSERT_EQ(run.records.size(), 3u);
  EXPECT_EQ(run.records[0], expected("  1 [INFO] info 1", "6", info_line_, "info"));
  EXPECT_EQ(run.records[1], expected("  2 [WARN] warn 2", "4", warn_line_, "warn"));
  EXPECT_EQ(run.records[2], expected("  3 [ERROR] error 3", "3", error_line_, "error"));
}

TEST_F(LogJournal, ConsoleAndJournalGetTheSamePassingLines) {
  const JournalRun run = run_with_journal({"true", "true", "warning"}, {"i", "w", "i", "e"});
  EXPECT_EQ(run.program_stdout, (Lines{"  1 [WARN] warn 2", "  2 [ERROR] error 4"}));
  ASSERT_EQ(run.records.size(), 2u);
  EXPECT_EQ(run.records[0], expected("  1 [WARN] warn 2", "4", warn_line_, "warn"));
  EXPECT_EQ(run.records[1], expected("  2 [ERROR] error 4", "3", error_line_, "error"));
}

TEST_F(LogJournal, NoJournalSinkUnlessExactlyTrue) {
  for (const char* value : {"false", "TRUE", "true "}) {
    EXPECT_EQ(run_with_journal({"false", value, "info"}, {"i"}).records.size(), 0u) << value;
  }
  EXPECT_EQ(run_with_journal({"false", std::nullopt, "info"}, {"i"}).records.size(), 0u);
}

}  // namespace
