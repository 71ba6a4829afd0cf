#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace test_support {

// A program run as a separate process for a test, in a process group of its
// own: its standard output and standard error are collected while it runs.
// The destructor kills the group and reaps the child, so a failing test
// leaves no process behind.
class ChildProcess {
 public:
  struct Options {
    std::vector<std::string> set_env;    // "NAME=value", added to or replacing the inherited ones
    std::vector<std::string> unset_env;  // names removed from the inherited environment
    std::string stdin_text;              // written to the child's standard input, then closed
  };

  explicit ChildProcess(std::vector<std::string> argv, Options options = {});
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  pid_t pid() const { return pid_; }

  // The first stdout line (from the start of the output) that satisfies pred,
  // waiting up to timeout for it; nullopt if none came.
  std::optional<std::string> wait_for_line(const std::function<bool(const std::string&)>& pred,
                                           std::chrono::milliseconds timeout);
  std::optional<std::string> wait_for_line_containing(const std::string& text,
                                                      std::chrono::milliseconds timeout);
  // Waits until at least count stdout lines have come; false on timeout.
  bool wait_for_line_count(size_t count, std::chrono::milliseconds timeout);

  std::vector<std::string> stdout_lines() const;
  std::string stdout_text() const;  // exactly the bytes written so far
  std::string stderr_text() const;

  void send_signal(int sig);
  // Exit status, or 128 + signal number when killed by a signal; nullopt if
  // the child is still running at the deadline.
  std::optional<int> wait_exit(std::chrono::milliseconds timeout);

 private:
  void read_loop(int out_fd, int err_fd);

  pid_t pid_ = -1;
  std::optional<int> exit_status_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string out_;
  std::string err_;
  bool streams_closed_ = false;
  std::thread reader_;
};

// Polls cond every 10 ms until it holds or the timeout passes.
bool wait_until(const std::function<bool()>& cond, std::chrono::milliseconds timeout);

}  // namespace test_support
