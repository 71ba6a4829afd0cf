#include "closed_loop.hpp"

#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
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

bool at_rest(const Row& r) { return r.cmd_v == 0.0 && r.cmd_w == 0.0 && r.v == 0.0 && r.w == 0.0; }

namespace {

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

LoopRun::LoopRun(int domain, const std::vector<std::string>& options,
                 const std::vector<std::string>& sim_params, const std::string& keystore) {
  static int runs = 0;
  dir_ = ::testing::TempDir() + "closed_loop_" + std::to_string(::getpid()) + "_" +
         std::to_string(domain) + "_" + std::to_string(++runs);
  std::filesystem::remove_all(dir_);
  std::vector<std::string> argv{RUN_CLOSED_LOOP};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.insert(argv.end(), {INSTALL_BASE, dir_});
  for (const auto& p : sim_params) argv.insert(argv.end(), {"-p", p});
  env_ = tools_test::dds_env(domain);
  enclaves_ = !keystore.empty();
  if (enclaves_) {
    for (auto& var : tools_test::enforce_env(keystore)) env_.set_env.push_back(var);
  }
  auto env = env_;
  env.set_env.insert(env.set_env.end(), {"DOCK_QUIET=1", "DOCK_DEADLINE=400"});
  if (enclaves_) env.set_env.push_back("DOCK_ENCLAVES=1");
  runner_ = std::make_unique<ChildProcess>(argv, env);
}

LoopRun::~LoopRun() {
  if (!runner_->wait_exit(0ms)) stop();
  runner_.reset();
  std::filesystem::remove_all(dir_);
}

std::optional<int> LoopRun::wait_exit(std::chrono::milliseconds timeout) {
  return runner_->wait_exit(timeout);
}

void LoopRun::stop() {
  runner_->send_signal(SIGTERM);
  EXPECT_TRUE(runner_->wait_exit(15s)) << "the runner did not stop";
}

std::string LoopRun::log(const std::string& program) const {
  return read_file(dir_ + "/" + program + ".log");
}

std::vector<std::string> LoopRun::log_lines(const std::string& program) const {
  std::vector<std::string> lines;
  std::istringstream in(log(program));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> LoopRun::program_line(const std::string& program) const {
  std::istringstream in(read_file(dir_ + "/programs.txt"));
  for (std::string line; std::getline(in, line);) {
    auto fields = words(line);
    if (!fields.empty() && fields[0] == program) return fields;
  }
  return {};
}

pid_t LoopRun::pid(const std::string& program) const {
  const auto fields = program_line(program);
  return fields.size() > 1 ? std::stoi(fields[1]) : -1;
}

std::optional<int> LoopRun::exit_status(const std::string& program) const {
  const auto fields = program_line(program);
  if (fields.size() < 4 || fields[3] == "-") return std::nullopt;
  return std::stoi(fields[3]);
}

std::optional<std::chrono::system_clock::time_point> LoopRun::started(
    const std::string& program) const {
  const auto fields = program_line(program);
  if (fields.size() < 3) return std::nullopt;
  const auto since_epoch = std::chrono::duration<double>(std::stod(fields[2]));
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(since_epoch));
}

std::unique_ptr<ChildProcess> LoopRun::launch(std::vector<std::string> argv) const {
  if (enclaves_) {
    argv.insert(argv.end(), {"--ros-args", "--enclave",
                             "/" + std::filesystem::path(argv[0]).filename().string()});
  }
  return std::make_unique<ChildProcess>(argv, env_);
}

std::string LoopRun::summary(const std::string& key) const {
  std::istringstream in(summary_text());
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return "";
}

std::string LoopRun::summary_text() const { return read_file(dir_ + "/summary.txt"); }

std::vector<Row> LoopRun::rows() const { return read_rows(dir_ + "/trajectory.csv"); }

Row LoopRun::end() const { return last_row(dir_ + "/trajectory.csv"); }

std::string LoopRun::runner_output() const {
  return runner_->stdout_text() + runner_->stderr_text();
}

std::vector<std::string> program_option(const std::string& option,
                                        const std::vector<std::string>& argv) {
  std::vector<std::string> options{option};
  options.insert(options.end(), argv.begin(), argv.end());
  options.push_back(";");
  return options;
}

std::vector<std::string> supervised_by_align_request(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"align_request"};
  argv.insert(argv.end(), args.begin(), args.end());
  return program_option("--supervisor", argv);
}

int ClosedLoop::run(int domain, const std::vector<std::string>& sim_params,
                    const std::vector<std::string>& request) {
  const auto status =
      start(domain, supervised_by_align_request(request), sim_params).wait_exit(450s);
  EXPECT_TRUE(status) << "the closed loop did not end in time";
  return status.value_or(-1);
}

LoopRun& ClosedLoop::start(int domain, const std::vector<std::string>& options,
                           const std::vector<std::string>& sim_params) {
  loop_.reset();
  loop_ = std::make_unique<LoopRun>(domain, options, sim_params, keystore_);
  return *loop_;
}

std::optional<std::string> ClosedLoop::dock_on_one_of(const std::vector<int>& domains,
                                                      const std::vector<std::string>& sim_params,
                                                      const std::function<void(int)>& prepare) {
  std::string failures;
  for (int domain : domains) {
    if (prepare) prepare(domain);
    if (run(domain, sim_params) == 0) return output();
    const Row end = loop_->end();
    std::ostringstream failure;
    failure << "run on domain " << domain << " did not dock, the robot stopped at x " << end.x
            << ", y " << end.y << ", heading " << end.heading << ":\n"
            << output() << loop_->runner_output();
    std::cout << failure.str();  // a retry that docks must not hide why this one did not
    failures += failure.str();
  }
  ADD_FAILURE() << "no docking in " << domains.size() << " runs:\n" << failures;
  return std::nullopt;
}

bool ClosedLoop::controller_logged(const std::string& text) const {
  return loop_->log("align_controller").find(text) != std::string::npos;
}
