#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
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

// docking_sim, the real align_controller and align_request, each a separate
// process talking over DDS on loopback.
class ClosedLoop : public ::testing::Test {
 protected:
  // Starts the simulator with the given parameters and the controller.
  void start(int domain, std::vector<std::string> sim_params);
  // A fresh simulator: the robot back at its start pose.
  void start_sim(const std::vector<std::string>& sim_params);
  // Runs align_request to its end, with its own arguments after the timeout.
  int request(std::string& output, const std::string& command = "dock",
              const std::string& timeout = "150", const std::vector<std::string>& args = {});

  // Whether the controller docks depends on perception latency and noise and on
  // the machine's load (the docking benchmark measures it): a failed run is
  // retried afresh on the next domain, after prepare(domain). The output of
  // align_request for the run that docked; nullopt, with the test failed, when
  // none did.
  std::optional<std::string> dock_on_one_of(const std::vector<int>& domains,
                                            const std::vector<std::string>& sim_params,
                                            const std::function<void(int)>& prepare = {});

  bool controller_logged(const std::string& text) const;
  // Index of the first controller line at or after from that contains text.
  std::optional<size_t> controller_line(const std::string& text, size_t from = 0) const;

  // Whether the simulator's trajectory shows a zero command and the wheels at rest within timeout.
  bool comes_to_rest(std::chrono::milliseconds timeout) const;

  // One more program on the loop's domain (a server, a client), in its enclave if any.
  std::unique_ptr<test_support::ChildProcess> launch(const std::string& program,
                                                     const std::vector<std::string>& args) const;

  // Ends the simulator, which then has written its whole trajectory.
  Row stop_sim();
  void stop_all();

  void TearDown() override;

  int domain_ = 0;
  // When set, each program runs in the enclave /<program> of this keystore, enforced.
  std::string keystore_;
  std::string csv_;
  std::unique_ptr<test_support::ChildProcess> sim_, controller_;

 private:
  test_support::ChildProcess::Options env() const;
  // The --ros-args that put program in its enclave, if any.
  std::vector<std::string> enclave_args(const std::string& program) const;
};
