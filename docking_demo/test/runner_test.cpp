// The closed-loop runner and its judge with stand-in programs (shell commands): what
// every suite relies on, the order of the starts, the stopper's bounds, the deadline,
// the exit statuses, and the verdict from a trajectory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "test_support/child_process.hpp"

namespace {

using namespace std::chrono_literals;
using test_support::ChildProcess;

const std::string kJudge =
    std::filesystem::path(RUN_CLOSED_LOOP).replace_filename("judge.sh").string();

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string fresh_dir(const std::string& what) {
  static int n = 0;
  const std::string dir =
      ::testing::TempDir() + what + "_" + std::to_string(::getpid()) + "_" + std::to_string(++n);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

struct LoopResult {
  int status = -1;
  std::string out, err, dir;
  // programs.txt: NAME -> PID START EXIT
  std::map<std::string, std::vector<std::string>> programs;
  std::string log(const std::string& name) const { return read_file(dir + "/" + name + ".log"); }
};

// The runner without the simulator and the controller, with the given options.
LoopResult run_loop(const std::vector<std::string>& options,
                    const std::vector<std::string>& env = {}) {
  LoopResult run;
  run.dir = fresh_dir("runner");
  std::vector<std::string> argv{RUN_CLOSED_LOOP, "--without", "docking_sim", "--without",
                                "align_controller"};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.insert(argv.end(), {INSTALL_BASE, run.dir});
  ChildProcess::Options o;
  o.set_env = env;
  ChildProcess runner(argv, o);
  run.status = runner.wait_exit(60s).value_or(-1);
  run.out = runner.stdout_text();
  run.err = runner.stderr_text();
  std::istringstream in(read_file(run.dir + "/programs.txt"));
  for (std::string name, rest; in >> name && std::getline(in, rest);) {
    std::istringstream fields(rest);
    auto& f = run.programs[name];
    for (std::string w; fields >> w;) f.push_back(w);
  }
  return run;
}

// A program that says it is up and then runs until it is stopped; with stubborn set it
// ignores SIGTERM.
std::vector<std::string> long_running(const std::string& name, bool stubborn = false) {
  return {"--start",
          name + "=sh",
          "-c",
          std::string(stubborn ? "trap '' TERM; " : "") + "echo " + name +
              " up; while :; do sleep 0.1; done",
          ";",
          "--ready",
          name,
          name + " up"};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(Runner, BadUsageIsRefusedBeforeAnythingStarts) {
  for (const auto& options : std::vector<std::vector<std::string>>{
           {"--supervisor", "sh", "-c", "true"},  // no closing ';'
           {"--supervisor", ";"},
           {"--frobnicate"},
           {"--ready", "x"}}) {
    LoopResult run = run_loop(options);
    EXPECT_EQ(run.status, 64) << run.err;
    EXPECT_NE(run.err.find("run_closed_loop.sh: "), std::string::npos) << run.err;
    EXPECT_TRUE(run.programs.empty());
  }
}

TEST(Runner, AMissingProgramEndsTheRunBeforeAnyStarts) {
  LoopResult run = run_loop(long_running("first") +
                            std::vector<std::string>{"--supervisor", "no_such_package", ";"});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("lib/no_such_package/no_such_package is missing: build first"),
            std::string::npos)
      << run.err;
  EXPECT_TRUE(run.programs.empty()) << "started before the check";
}

TEST(Runner, AProgramThatNeverComesUpEndsTheRun) {
  LoopResult run = run_loop({"--start", "mute=sh", "-c", "echo starting; exit 4", ";", "--ready",
                             "mute", "^up$", "--supervisor", "sh", "-c", "echo supervised", ";"});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("mute is not up:\nstarting"), std::string::npos) << run.err;
  EXPECT_EQ(run.programs.count("sh"), 0u) << "the supervisor ran without its program";
  ASSERT_EQ(run.programs["mute"].size(), 3u);
  EXPECT_EQ(run.programs["mute"][2], "4");
}

// The long-running programs come up in order, the supervisor and then the programs
// after it run to their ends, and the stopper ends the rest: SIGTERM, and SIGKILL
// for one that ignores it. Each exit status is kept.
TEST(Runner, RunsInOrderAndStopsEveryProgramItStarted) {
  LoopResult run =
      run_loop(long_running("first") + long_running("stubborn", true) +
               std::vector<std::string>{"--supervisor", "sh", "-c", "echo supervised; exit 1", ";",
                                        "--after", "later=sh", "-c", "echo after", ";"});
  EXPECT_EQ(run.status, 1) << run.err;
  ASSERT_EQ(run.programs.size(), 4u) << read_file(run.dir + "/programs.txt");
  const std::map<std::string, std::string> status = {
      {"first", "143"}, {"stubborn", "137"}, {"sh", "1"}, {"later", "0"}};
  for (const auto& [name, expected] : status) {
    ASSERT_EQ(run.programs[name].size(), 3u) << name;
    EXPECT_EQ(run.programs[name][2], expected) << name;
    EXPECT_EQ(::kill(std::stoi(run.programs[name][0]), 0), -1) << name << " still runs";
  }
  // Started one after the other, each after the one before was up.
  const auto started = [&](const std::string& name) { return std::stod(run.programs[name][1]); };
  EXPECT_LT(started("first"), started("stubborn"));
  EXPECT_LT(started("stubborn"), started("sh"));
  EXPECT_LT(started("sh"), started("later"));
  EXPECT_EQ(run.log("sh"), "supervised\n");
  EXPECT_EQ(run.log("later"), "after\n");
  EXPECT_EQ(run.out, "supervised\nafter\n") << "the supervisor's and later ones' output is shown";
}

// --args adds to a program's own arguments, in the order given, words kept whole: how the
// benchmark gives the controller its parameters and the default supervisor its options.
TEST(Runner, ArgsAreAddedAfterTheProgramsOwn) {
  LoopResult run = run_loop({"--args", "sh", "b c", ";", "--supervisor", "sh", "-c",
                             "printf '<%s>' \"$@\"", "sh", "a", ";", "--args", "sh", "d", "", ";"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.log("sh"), "<a><b c><d><>\n");  // the log ends each line
  EXPECT_EQ(run_loop({"--args", "sh"}).status, 64);
}

TEST(Runner, ASupervisorPastItsDeadlineIsStoppedAndTheRunHasNoResult) {
  LoopResult run = run_loop({"--supervisor", "sleep", "30", ";"}, {"DOCK_DEADLINE=1"});
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("sleep still ran after its deadline"), std::string::npos) << run.err;
  ASSERT_EQ(run.programs["sleep"].size(), 3u);
  EXPECT_EQ(run.programs["sleep"][2], "143");
  EXPECT_NE(read_file(run.dir + "/summary.txt").find("failure=no_result"), std::string::npos)
      << read_file(run.dir + "/summary.txt");
}

// What the hosts and cross-stack checks rely on: the prefix comes first (a host's
// namespace, a clean environment), the log settings reach the program, the lines are
// stamped, and the supervisor may start before the controller.
TEST(Runner, PrefixStampsAndTheOrderOfTheSupervisor) {
  const std::string dir = fresh_dir("fake_controller");
  const std::string controller = dir + "/align_controller";
  std::ofstream(controller) << "#!/bin/sh\necho controller up\nexec sleep 30\n";
  std::filesystem::permissions(controller, std::filesystem::perms::owner_all);
  const std::vector<std::string> options = {"--stamp",
                                            "--exe",
                                            "align_controller",
                                            controller,
                                            "--prefix",
                                            "sh",
                                            "env",
                                            "-i",
                                            "GREETING=hello",
                                            ";",
                                            "--supervisor",
                                            "sh",
                                            "-c",
                                            "echo \"$GREETING $SPDLOG_STDOUT $HOME\"",
                                            ";"};
  for (bool first : {true, false}) {
    // The controller this time: not --without.
    std::vector<std::string> argv{RUN_CLOSED_LOOP, "--without", "docking_sim"};
    if (first) argv.push_back("--supervisor-first");
    argv.insert(argv.end(), options.begin(), options.end());
    const std::string out = fresh_dir("runner");
    argv.insert(argv.end(), {INSTALL_BASE, out});
    ChildProcess::Options quiet;
    quiet.set_env = {"DOCK_QUIET=1"};
    ChildProcess runner(argv, quiet);
    ASSERT_EQ(runner.wait_exit(60s), 0) << runner.stderr_text();
    EXPECT_EQ(runner.stdout_text(), "");
    const std::string said = read_file(out + "/sh.log");
    EXPECT_TRUE(std::regex_match(said, std::regex("[0-9]+\\.[0-9]+ hello true \n"))) << said;
    EXPECT_TRUE(std::regex_search(read_file(out + "/align_controller.log"),
                                  std::regex("^[0-9]+\\.[0-9]+ controller up\n")));
    std::istringstream programs(read_file(out + "/programs.txt"));
    std::vector<std::string> order;
    for (std::string line; std::getline(programs, line);) order.push_back(line.substr(0, 2));
    EXPECT_EQ(order, (first ? std::vector<std::string>{"sh", "al"}
                            : std::vector<std::string>{"al", "sh"}));
  }
}

// The judge: what the supervisor said against what the simulator's trajectory shows.
class Judge : public ::testing::Test {
 protected:
  using Path = std::vector<std::array<double, 3>>;
  // Writes a trajectory through the points (x, y, heading), then those of a drive forward
  // once docked, and the two logs; then judges. With seen, the camera's seen column of
  // the path's rows (a trajectory of before the column, without).
  std::map<std::string, std::string> judge(const Path& path, int status,
                                           const std::string& controller,
                                           const std::string& request, const Path& forward = {},
                                           const std::vector<int>& seen = {}) {
    const std::string dir = fresh_dir("judge");
    std::ofstream csv(dir + "/trajectory.csv");
    csv << "time,x,y,heading,cmd_v,cmd_w,v,w,step,cmds" << (seen.empty() ? "" : ",seen") << "\n";
    double t = 0;
    for (size_t i = 0; i < path.size(); ++i) {
      const auto& p = path[i];
      csv << t << "," << p[0] << "," << p[1] << "," << p[2] << ",0,0,0,0,4,1";
      if (!seen.empty()) csv << "," << seen.at(i);
      csv << "\n";
      t += 0.01;
    }
    for (const auto& p : forward) {
      csv << t << "," << p[0] << "," << p[1] << "," << p[2] << ",0.1,0,0.1,0,6,1\n";
      t += 0.01;
    }
    csv.close();
    std::ofstream(dir + "/align_controller.log") << controller;
    std::ofstream(dir + "/align_request.log") << request;
    ChildProcess judge({kJudge, dir, std::to_string(status), "align_request"});
    EXPECT_EQ(judge.wait_exit(20s), 0) << judge.stderr_text();
    std::map<std::string, std::string> values;
    std::istringstream in(read_file(dir + "/summary.txt"));
    for (std::string line; std::getline(in, line);) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
  }
};

TEST_F(Judge, DockedOnlyThroughTheBoundsAndAtRestNearThem) {
  // Through the bounds, then the push: at rest a little off them.
  auto v = judge({{0.5, 0.02, 0.05}, {0.2, 0.005, 0.02}, {0.12, 0.015, 0.02}}, 0,
                 "docking finish! 0.2\n", "docked: result (1, 1, 1) after 20.5 s\n");
  EXPECT_EQ(v["ground_truth"], "docked");
  EXPECT_EQ(v["passed_docked_bounds"], "1");
  EXPECT_EQ(v["ends_in_docked_bounds"], "0");
  EXPECT_EQ(v["time_to_dock"], "20.5");
  EXPECT_EQ(v["failure"], "none");
  EXPECT_EQ(v["attempt_1_end"], "docked 20.5");
  EXPECT_EQ(v["final_y"], "0.0150");

  // Through the bounds, but pushed off the axis.
  v = judge({{0.2, 0.005, 0.02}, {0.1, 0.05, 0.02}}, 0, "", "");
  EXPECT_EQ(v["ground_truth"], "not_docked");
  // Close, never inside: the station's origin itself does not count.
  v = judge({{0.26, 0.005, 0.0}, {0.0, 0.0, 0.0}}, 1, "", "");
  EXPECT_EQ(v["passed_docked_bounds"], "0");
  EXPECT_EQ(v["ground_truth"], "not_docked");
}

// An undock drives forward from the station: the docking is judged where it ended.
TEST_F(Judge, AnUndockIsSummedApartFromTheDocking) {
  auto v = judge({{0.5, 0.02, 0.05}, {0.2, 0.005, 0.02}, {0.12, 0.008, 0.02}}, 0, "", "",
                 {{0.5, 0.008, 0.02}, {1.5, 0.008, 0.02}});
  EXPECT_EQ(v["ground_truth"], "docked");
  EXPECT_EQ(v["final_x"], "0.1200");
  EXPECT_EQ(v["undock_began"], "0.02");
  EXPECT_EQ(v["undocked_distance"], "1.3800");
  EXPECT_EQ(v["undocked_x"], "1.5000");
  EXPECT_EQ(judge({{0.12, 0.008, 0.02}}, 0, "", "").count("undocked_distance"), 0u);
}

// The farthest the robot drove between two sightings of the station, by the ground truth;
// a sighting ends a blind stretch, and only the longest one counts.
TEST_F(Judge, FarthestBlindIsTheLongestDriveBetweenSightings) {
  const Path path = {{1.0, 0.0, 0.0}, {0.9, 0.0, 0.0}, {0.8, 0.0, 0.0}, {0.7, 0.0, 0.0},
                     {0.7, 0.3, 0.0}, {0.3, 0.0, 0.0}, {0.3, 0.0, 0.0}, {0.2, 0.0, 0.0}};
  auto v = judge(path, 1, "", "", {}, {1, 0, 0, 1, 0, 0, 0, 1});
  EXPECT_EQ(v["farthest_blind"], "0.8000");  // 0.3 sideways, then 0.5 back to the axis
  v = judge(path, 1, "", "", {}, {0, 0, 0, 0, 0, 1, 1, 1});
  EXPECT_EQ(v["farthest_blind"], "0.6000");  // from the start: the robot had not seen it yet
  v = judge(path, 1, "", "", {}, std::vector<int>(path.size(), 1));
  EXPECT_EQ(v["farthest_blind"], "0.0000");
  // A trajectory written before the column: nothing is known, nothing is claimed.
  EXPECT_EQ(judge(path, 1, "", "")["farthest_blind"], "0.0000");
}

TEST_F(Judge, FailuresAreNamedByTheirCause) {
  const std::string two_timeouts =
      "docking timeout ...time_speed: 271\nstep 1\ndocking timeout ...time_speed: 271\n";
  // The supervisor's progress line may come after its last word.
  auto v = judge({{0.23, 0.02, 0.0}}, 1, two_timeouts,
                 "docking failed: result (1, 1, 0) after 45.3 s\n"
                 "docking failed: result (1, 1, 0) after 45.6 s\n"
                 "not docked after 2 attempts\n"
                 "  109 s  docking, robot 0.23 m from the station\n");
  EXPECT_EQ(v["failure"], "timeout");
  EXPECT_EQ(v["attempt_2_end"], "timeout 45.6");
  EXPECT_EQ(v["result"], "not docked after 2 attempts");
  EXPECT_EQ(v["time_to_dock"], "");
  v = judge({{0.23, 0.02, 0.0}}, 1, two_timeouts,
            "retry refused: perception is not updating (error code 101100013)\n");
  EXPECT_EQ(v["failure"], "retry_refused");
  v = judge({{0.23, 0.02, 0.0}}, 1, "docking failed *\n", "back-off stopped: no pose\n");
  EXPECT_EQ(v["failure"], "backoff_stopped");
  // Stopped before the first attempt: no controller line at all.
  v = judge({{2.2, 0.1, 0.3}}, 1, "",
            "staging stopped: the camera pose has not changed for 0.6 s\n"
            "not docked: staging stopped before attempt 1, 9.1 s\n");
  EXPECT_EQ(v["failure"], "staging_stopped");
  // The watchdog's check refused at the last attempt; one refused at an
  // earlier one, and the station not found again after it.
  const std::string lost =
      "perception lost during attempt 1: the station has not been seen for 1.5 s\n";
  v = judge({{0.7, 0.01, 0.05}}, 1, "", lost);
  EXPECT_EQ(v["failure"], "perception_lost");
  v = judge({{0.7, 0.01, 0.35}}, 1, "",
            lost + "station not in view: not found turning 0.37 rad in 1.9 s\n");
  EXPECT_EQ(v["failure"], "not_in_view");
  v = judge({{0.7, 0.01, 0.35}}, 1, "",
            lost + "perception frozen: the camera pose did not change turning 0.31 rad in 1.7 s\n");
  EXPECT_EQ(v["failure"], "perception_frozen");
  // No result, and no end line of the controller at all.
  v = judge({{1.8, 0.3, 0.15}}, 2, "", "no result within 3 s\n");
  EXPECT_EQ(v["failure"], "no_result");
  EXPECT_EQ(v.count("attempt_1_end"), 0u);
}

}  // namespace
