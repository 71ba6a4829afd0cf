#include "test_support/child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

extern char** environ;

namespace test_support {
namespace {

std::vector<std::string> child_environment(const ChildProcess::Options& options) {
  auto name_of = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  auto dropped = [&](const std::string& name) {
    for (const auto& u : options.unset_env) {
      if (u == name) return true;
    }
    for (const auto& s : options.set_env) {
      if (name_of(s) == name) return true;
    }
    return false;
  };
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (!dropped(name_of(*e))) env.emplace_back(*e);
  }
  env.insert(env.end(), options.set_env.begin(), options.set_env.end());
  return env;
}

std::vector<char*> c_strings(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

void check(int rc, const char* what) {
  if (rc != 0) throw std::runtime_error(std::string(what) + ": " + std::strerror(rc));
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(text.substr(start, nl - start));
  }
  return lines;
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv, Options options) {
  int out[2], err[2], in[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe2 failed");
  }
  std::vector<std::string> env = child_environment(options);
  std::vector<char*> c_argv = c_strings(argv);
  std::vector<char*> c_env = c_strings(env);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  // DDS sockets of a test process are not close-on-exec; the child gets none.
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

  // The test process may block or handle signals (the client layer does);
  // the child starts with the defaults.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  // Its own process group, so that the destructor also ends what it started.
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  int rc = posix_spawnp(&pid_, c_argv[0], &actions, &attr, c_argv.data(), c_env.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (rc != 0) {
    close(in[1]);
    close(out[0]);
    close(err[0]);
    check(rc, ("spawning " + argv.at(0)).c_str());
  }
  // Small inputs only: a pipe buffer holds them without blocking.
  if (!options.stdin_text.empty()) {
    ssize_t n = write(in[1], options.stdin_text.data(), options.stdin_text.size());
    (void)n;
  }
  close(in[1]);
  reader_ = std::thread([this, o = out[0], e = err[0]] { read_loop(o, e); });
}

ChildProcess::~ChildProcess() {
  if (!exit_status_) {
    int status = 0;
    kill(-pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  kill(-pid_, SIGKILL);
  reader_.join();
}

void ChildProcess::read_loop(int out_fd, int err_fd) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  int open_count = 2;
  char buf[4096];
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) continue;
    for (auto& f : fds) {
      if (f.fd < 0 || f.revents == 0) continue;
      ssize_t n = read(f.fd, buf, sizeof buf);
      if (n <= 0) {
        close(f.fd);
        f.fd = -1;
        --open_count;
        continue;
      }
      std::lock_guard<std::mutex> lock(mutex_);
      (f.fd == out_fd ? out_ : err_).append(buf, static_cast<size_t>(n));
      changed_.notify_all();
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  streams_closed_ = true;
  changed_.notify_all();
}

std::optional<std::string> ChildProcess::wait_for_line(
    const std::function<bool(const std::string&)>& pred, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    for (const auto& line : split_lines(out_)) {
      if (pred(line)) return line;
    }
    if (streams_closed_) return std::nullopt;
    if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
      for (const auto& line : split_lines(out_)) {
        if (pred(line)) return line;
      }
      return std::nullopt;
    }
  }
}

std::optional<std::string> ChildProcess::wait_for_line_containing(
    const std::string& text, std::chrono::milliseconds timeout) {
  return wait_for_line([&](const std::string& l) { return l.find(text) != std::string::npos; },
                       timeout);
}

bool ChildProcess::wait_for_line_count(size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    return split_lines(out_).size() >= count || streams_closed_;
  }) && split_lines(out_).size() >= count;
}

std::vector<std::string> ChildProcess::stdout_lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return split_lines(out_);
}

std::string ChildProcess::stdout_text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return out_;
}

std::string ChildProcess::stderr_text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return err_;
}

void ChildProcess::send_signal(int sig) {
  if (!exit_status_) kill(pid_, sig);
}

std::optional<int> ChildProcess::wait_exit(std::chrono::milliseconds timeout) {
  if (exit_status_) return exit_status_;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      // The reader sees end of file once the child (and anything that kept
      // its pipes) is gone; join so all output is in.
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait_for(lock, std::chrono::seconds(5), [&] { return streams_closed_; });
      return exit_status_;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool wait_until(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (cond()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace test_support
