#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "process_env.hpp"

// One row of docking_sim's trajectory.
struct Row {
  double t = 0, x = 0, y = 0, heading = 0, cmd_v = 0, cmd_w = 0, v = 0, w = 0;
  int step = 0;  // the controller's step; 7: an attempt ended undocked
};

// docking_sim's camera without noise or dropouts. Its latency stays: with none, the
// controller's stop after crossing 0.3 m more often ends just outside the docked bound.
const std::vector<std::string> kNoiselessCamera = {"noise_xy:=0.0", "noise_theta:=0.0",
                                                   "dropout:=0.0"};

// The rows of the trajectory file csv, and its last one.
std::vector<Row> read_rows(const std::string& csv);
Row last_row(const std::string& csv);
// A zero command and the wheels at rest.
bool at_rest(const Row& r);

// One closed loop run by the shared runner (docking_demo's run_closed_loop.sh) as a child
// process on domain: its programs' logs, the trajectory and the verdict in a directory
// of its own, removed with the object. With a keystore, every program runs in its
// enclave, security enforced.
class LoopRun {
 public:
  // options: the runner's (programs, supervisor...); sim_params: docking_sim's -p values.
  LoopRun(int domain, const std::vector<std::string>& options,
          const std::vector<std::string>& sim_params, const std::string& keystore = "");
  LoopRun(const LoopRun&) = delete;
  LoopRun& operator=(const LoopRun&) = delete;
  ~LoopRun();

  // The runner's exit status (the supervisor's); nullopt while it runs at the deadline.
  std::optional<int> wait_exit(std::chrono::milliseconds timeout);
  // Ends the run early: the runner stops its programs.
  void stop();

  // The output of a program (its NAME in the runner) so far.
  std::string log(const std::string& program) const;
  std::vector<std::string> log_lines(const std::string& program) const;
  // From the runner's programs.txt: the PID, and the exit status once the run ended.
  pid_t pid(const std::string& program) const;
  std::optional<int> exit_status(const std::string& program) const;
  // From programs.txt: the wall-clock time just before the program started.
  std::optional<std::chrono::system_clock::time_point> started(const std::string& program) const;
  // One more program beside the run's (a second client while the supervisor runs): on its
  // domain, in the environment and enclave the runner gives its own programs.
  std::unique_ptr<test_support::ChildProcess> launch(std::vector<std::string> argv) const;
  // A value of the runner's summary.txt, and all of it.
  std::string summary(const std::string& key) const;
  std::string summary_text() const;
  std::vector<Row> rows() const;
  Row end() const;
  const std::string& dir() const { return dir_; }
  std::string runner_output() const;

 private:
  std::vector<std::string> program_line(const std::string& program) const;
  std::string dir_;
  bool enclaves_ = false;
  test_support::ChildProcess::Options env_;  // the programs' environment
  std::unique_ptr<test_support::ChildProcess> runner_;
};

// The runner's option for a program: option PROGRAM ARG... ';' (--start, --supervisor, --after).
std::vector<std::string> program_option(const std::string& option,
                                        const std::vector<std::string>& argv);
// The runner's options that make align_request with these arguments the supervisor.
std::vector<std::string> supervised_by_align_request(const std::vector<std::string>& args);

// The closed loop: docking_sim, the real align_controller and align_request, each a
// separate process talking over DDS on loopback, started, stopped and judged by the runner.
class ClosedLoop : public ::testing::Test {
 protected:
  // Runs the loop on domain to its end, align_request with the given arguments: its exit
  // status, -1 when the runner did not end in time.
  int run(int domain, const std::vector<std::string>& sim_params,
          const std::vector<std::string>& request = {"dock", "--timeout", "150"});
  // Starts one in the background, with the runner's options.
  LoopRun& start(int domain, const std::vector<std::string>& options,
                 const std::vector<std::string>& sim_params);

  // Whether the controller docks depends on perception latency and noise and on
  // the machine's load (the docking benchmark measures it): a failed run is
  // retried afresh on the next domain, after prepare(domain). The output of
  // align_request for the run that docked; nullopt, with the test failed, when
  // none did.
  std::optional<std::string> dock_on_one_of(const std::vector<int>& domains,
                                            const std::vector<std::string>& sim_params,
                                            const std::function<void(int)>& prepare = {});

  // Of the last run: align_request's output, and whether the controller logged text.
  std::string output() const { return loop_->log("align_request"); }
  bool controller_logged(const std::string& text) const;

  // When set, each program runs in the enclave /<program> of this keystore, enforced.
  std::string keystore_;
  std::unique_ptr<LoopRun> loop_;
};
