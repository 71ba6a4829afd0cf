#include "closed_loop.hpp"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

using namespace std::chrono_literals;
using test_support::ChildProcess;

std::vector<Row> read_rows(const std::string& csv) {
  std::ifstream in(csv);
  std::string line;
  std::getline(in, line);  // the header
  std::vector<Row> rows;
  while (std::getline(in, line)) {
    Row r;
    char c = 0;
    std::istringstream s(line);
    if (s >> r.t >> c >> r.x >> c >> r.y >> c >> r.heading >> c >> r.cmd_v >> c >> r.cmd_w >> c >>
        r.v >> c >> r.w >> c >> r.step) {
      rows.push_back(r);
    }
  }
  return rows;
}

Row last_row(const std::string& csv) {
  const auto rows = read_rows(csv);
  return rows.empty() ? Row{} : rows.back();
}

void ClosedLoop::start(int domain, std::vector<std::string> sim_params) {
  domain_ = domain;
  start_sim(sim_params);
  std::vector<std::string> argv{ALIGN_CONTROLLER};
  for (auto& arg : enclave_args("align_controller")) argv.push_back(arg);
  controller_ = std::make_unique<ChildProcess>(argv, env());
}

void ClosedLoop::start_sim(const std::vector<std::string>& sim_params) {
  csv_ = ::testing::TempDir() + "closed_loop_" + std::to_string(::getpid()) + ".csv";
  std::vector<std::string> argv = {DOCKING_SIM, "--ros-args", "-p", "trajectory_csv:=" + csv_};
  for (auto& p : sim_params) {
    argv.insert(argv.end(), {"-p", p});
  }
  if (!keystore_.empty()) argv.insert(argv.end(), {"--enclave", "/docking_sim"});
  sim_ = std::make_unique<ChildProcess>(argv, env());
  ASSERT_TRUE(sim_->wait_for_line_containing("docking_sim: robot at", 10s)) << sim_->stderr_text();
}

int ClosedLoop::request(std::string& output, const std::string& command, const std::string& timeout,
                        const std::vector<std::string>& args) {
  std::vector<std::string> argv{ALIGN_REQUEST, command, "--timeout", timeout};
  argv.insert(argv.end(), args.begin(), args.end());
  for (auto& arg : enclave_args("align_request")) argv.push_back(arg);
  ChildProcess request(argv, env());
  const auto status = request.wait_exit(400s);
  output = request.stdout_text();
  return status.value_or(-1);
}

std::optional<std::string> ClosedLoop::dock_on_one_of(const std::vector<int>& domains,
                                                      const std::vector<std::string>& sim_params,
                                                      const std::function<void(int)>& prepare) {
  std::string failures;
  for (int domain : domains) {
    if (prepare) prepare(domain);
    start(domain, sim_params);
    std::string out;
    if (request(out) == 0) return out;
    stop_all();
    const Row end = last_row(csv_);
    std::ostringstream failure;
    failure << "run on domain " << domain << " did not dock, the robot stopped at x " << end.x
            << ", y " << end.y << ", heading " << end.heading << ":\n"
            << out;
    std::cout << failure.str();  // a retry that docks must not hide why this one did not
    failures += failure.str();
  }
  ADD_FAILURE() << "no docking in " << domains.size() << " runs:\n" << failures;
  return std::nullopt;
}

std::unique_ptr<ChildProcess> ClosedLoop::launch(const std::string& program,
                                                 const std::vector<std::string>& args) const {
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  for (auto& arg : enclave_args(program.substr(program.rfind('/') + 1))) argv.push_back(arg);
  return std::make_unique<ChildProcess>(argv, env());
}

bool ClosedLoop::controller_logged(const std::string& text) const {
  return controller_->stdout_text().find(text) != std::string::npos;
}

std::optional<size_t> ClosedLoop::controller_line(const std::string& text, size_t from) const {
  const auto lines = controller_->stdout_lines();
  for (size_t i = from; i < lines.size(); ++i) {
    if (lines[i].find(text) != std::string::npos) return i;
  }
  return std::nullopt;
}

bool ClosedLoop::comes_to_rest(std::chrono::milliseconds timeout) const {
  return test_support::wait_until(
      [this] {
        const Row r = last_row(csv_);
        return r.cmd_v == 0.0 && r.cmd_w == 0.0 && r.v == 0.0 && r.w == 0.0;
      },
      timeout);
}

Row ClosedLoop::stop_sim() {
  sim_->send_signal(SIGTERM);
  EXPECT_EQ(sim_->wait_exit(10s), 0);
  return last_row(csv_);
}

void ClosedLoop::stop_all() {
  for (auto* p : {controller_.get(), sim_.get()}) {
    p->send_signal(SIGTERM);
    EXPECT_TRUE(p->wait_exit(10s));
  }
}

void ClosedLoop::TearDown() { std::remove(csv_.c_str()); }

ChildProcess::Options ClosedLoop::env() const {
  auto options = tools_test::dds_env(domain_);
  if (!keystore_.empty()) {
    for (auto& var : tools_test::enforce_env(keystore_)) options.set_env.push_back(var);
  }
  return options;
}

std::vector<std::string> ClosedLoop::enclave_args(const std::string& program) const {
  if (keystore_.empty()) return {};
  return {"--ros-args", "--enclave", "/" + program};
}
