// Journal records, checked in a private systemd-journald that the harness
// script starts in its own mount namespace for each run.
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "log_probe_run.hpp"

namespace {

using Record = std::map<std::string, std::string>;

struct JournalRun {
  Lines program_stdout;
  std::vector<Record> records;
};

JournalRun run_with_journal(const LogEnv& env, const std::vector<std::string>& commands) {
  std::vector<std::string> argv{"bash", JOURNAL_HARNESS, LOG_PROBE_PATH};
  argv.insert(argv.end(), commands.begin(), commands.end());
  JournalRun run;
  bool in_journal = false;
  Record record;
  for (const std::string& line : run_logged(env, argv)) {
    const size_t eq = line.find('=');
    if (line == "--- journal ---") {
      in_journal = true;
    } else if (!in_journal) {
      run.program_stdout.push_back(line);
    } else if (line.empty()) {  // the end of a record
      run.records.push_back(record);
      record.clear();
    } else if (line[0] != '_' && eq != std::string::npos) {  // not the journal's own fields
      record[line.substr(0, eq)] = line.substr(eq + 1);
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

TEST_F(LogJournal, RecordsCarryTextLevelAndCallSite) {
  JournalRun run = run_with_journal({"false", "true", std::nullopt}, {"i", "w", "e"});
  EXPECT_EQ(run.program_stdout, Lines{kLevelNotSet});
  EXPECT_EQ(run.records, (std::vector<Record>{
                             expected("  1 [INFO] info 1", "6", info_line_, "info"),
                             expected("  2 [WARN] warn 2", "4", warn_line_, "warn"),
                             expected("  3 [ERROR] error 3", "3", error_line_, "error"),
                         }));
  // With the console too, both get the same passing lines.
  run = run_with_journal({"true", "true", "warning"}, {"i", "w", "i", "e"});
  EXPECT_EQ(run.program_stdout, (Lines{"  1 [WARN] warn 2", "  2 [ERROR] error 4"}));
  EXPECT_EQ(run.records, (std::vector<Record>{
                             expected("  1 [WARN] warn 2", "4", warn_line_, "warn"),
                             expected("  2 [ERROR] error 4", "3", error_line_, "error"),
                         }));
}

TEST_F(LogJournal, NoJournalSinkUnlessExactlyTrue) {
  const std::optional<std::string> values[] = {std::nullopt, "false", "TRUE", "true "};
  for (const auto& value : values) {
    EXPECT_EQ(run_with_journal({"false", value, "info"}, {"i"}).records.size(), 0u)
        << value.value_or("<unset>");
  }
}

}  // namespace
