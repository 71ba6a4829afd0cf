#include "context.hpp"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <stdexcept>

#include "graph.hpp"
#include "names.hpp"
#include "participant.hpp"
#include "rclcpp/utilities.hpp"
#include "security.hpp"

namespace rclcpp_dds {
namespace {

// Largest id whose ports (7400 + 250 * id + ...) still fit in 16 bits.
constexpr unsigned long kMaxDomainId = 232;

std::mutex g_mutex;
std::shared_ptr<Context> g_context;  // guarded by g_mutex
// Read by signal handlers: lock-free atomics and a plain fd only.
std::atomic<bool> g_running{false};
std::atomic<int> g_wake_fd{-1};
std::atomic<bool> g_log_signals{false};
std::atomic<bool> g_colour_signals{false};

struct InstalledHandler {
  int signal;
  bool installed = false;
  struct sigaction previous {};
};
InstalledHandler g_handlers[] = {{SIGINT}, {SIGTERM}};

void wake_sleepers() {
  const uint64_t one = 1;
  // A full counter still leaves the fd readable, so a failed write is harmless.
  [[maybe_unused]] ssize_t n = write(g_wake_fd.load(), &one, sizeof(one));
}

// Appends value in decimal, zero-padded to at least width digits.
void append_number(char* line, size_t& length, long value, int width) {
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0 || count < width);
  while (count > 0) line[length++] = digits[--count];
}

void append_text(char* line, size_t& length, const char* text) {
  while (*text != '\0') line[length++] = *text++;
}

// rclcpp's INFO line for a signal, as rcutils' console output writes it (on a terminal
// between its colour resets); async-signal-safe.
void log_signal(int signum) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const char* const reset = g_colour_signals.load() ? "\033[0m" : "";
  char line[112];
  size_t length = 0;
  append_text(line, length, reset);
  append_text(line, length, "[INFO] [");
  append_number(line, length, now.tv_sec, 10);
  append_text(line, length, ".");
  append_number(line, length, now.tv_nsec, 9);
  append_text(line, length, "] [rclcpp]: signal_handler(signum=");
  append_number(line, length, signum, 1);
  append_text(line, length, ")");
  append_text(line, length, reset);
  append_text(line, length, "\n");
  [[maybe_unused]] ssize_t n = write(STDERR_FILENO, line, length);
}

// Whether rclcpp's INFO line gets through: console logs on, and the level of the logger
// "rclcpp" (or the default one) at most INFO.
bool logs_rclcpp_info(const Arguments& arguments) {
  const auto own = arguments.logger_levels.find("rclcpp");
  std::string level = own != arguments.logger_levels.end() && own->second != "unset"
                          ? own->second
                          : arguments.log_level.value_or("info");
  return arguments.log_stdout && (level == "debug" || level == "info" || level == "unset");
}

// rcutils colours console output on a terminal; RCUTILS_COLORIZED_OUTPUT 0 or 1 decides
// instead.
bool colours_console() {
  const char* forced = std::getenv("RCUTILS_COLORIZED_OUTPUT");
  if (forced != nullptr && (std::strcmp(forced, "0") == 0 || std::strcmp(forced, "1") == 0)) {
    return *forced == '1';
  }
  return isatty(STDERR_FILENO) == 1;
}

extern "C" void on_shutdown_signal(int signum) {
  const int saved_errno = errno;
  if (g_log_signals.load()) {
    log_signal(signum);
  }
  g_running.store(false);
  wake_sleepers();
  errno = saved_errno;
}

void install_handlers(rclcpp::SignalHandlerOptions options) {
  for (auto& handler : g_handlers) {
    const bool wanted =
        options == rclcpp::SignalHandlerOptions::All ||
        (options == rclcpp::SignalHandlerOptions::SigInt && handler.signal == SIGINT) ||
        (options == rclcpp::SignalHandlerOptions::SigTerm && handler.signal == SIGTERM);
    if (!wanted) {
      continue;
    }
    struct sigaction action {};
    action.sa_handler = on_shutdown_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(handler.signal, &action, &handler.previous) == 0) {
      handler.installed = true;
    }
  }
}

void restore_handlers() {
  for (auto& handler : g_handlers) {
    if (handler.installed) {
      sigaction(handler.signal, &handler.previous, nullptr);
      handler.installed = false;
    }
  }
}

// One eventfd for the whole process: readable from a shutdown until the next init.
void reset_wake_fd() {
  int fd = g_wake_fd.load();
  if (fd < 0) {
    fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
      throw std::runtime_error(std::string("cannot create the wake-up eventfd: ") +
                               std::strerror(errno));
    }
    g_wake_fd.store(fd);
  }
  uint64_t count;
  while (read(fd, &count, sizeof(count)) > 0) {
  }
}

void release(const Context& context) {
  if (context.participant > 0) {
    dds_delete(context.participant);
  }
  if (context.domain > 0) {
    dds_delete(context.domain);
  }
}

}  // namespace

std::string dds_error(dds_return_t ret) { return dds_strretcode(ret); }

uint32_t domain_id_from_env(const char* value) {
  if (value == nullptr || *value == '\0') {
    return 0;
  }
  errno = 0;
  char* end = nullptr;
  const unsigned long id = std::strtoul(value, &end, 10);
  if (*value < '0' || *value > '9' || *end != '\0' || errno == ERANGE || id > kMaxDomainId) {
    throw std::runtime_error("ROS_DOMAIN_ID '" + std::string(value) +
                             "' is not a domain id: expected an integer from 0 to " +
                             std::to_string(kMaxDomainId));
  }
  return static_cast<uint32_t>(id);
}

void check_cyclonedds_uri(const std::string& value) {
  size_t begin = 0;
  while (true) {
    begin = value.find_first_not_of(" \t\n\r\f\v,", begin);
    if (begin == std::string::npos || value[begin] == '<') {
      return;
    }
    const size_t comma = value.find(',', begin);
    const std::string entry = value.substr(begin, comma - begin);
    const std::string path = entry.rfind("file://", 0) == 0 ? entry.substr(7) : entry;
    struct stat status {};
    const char* problem = nullptr;
    if (stat(path.c_str(), &status) != 0 || access(path.c_str(), R_OK) != 0) {
      problem = std::strerror(errno);
    } else if (S_ISDIR(status.st_mode)) {
      problem = std::strerror(EISDIR);
    } else if (!S_ISREG(status.st_mode)) {
      problem = "not a regular file";
    }
    if (problem != nullptr) {
      throw std::runtime_error("CYCLONEDDS_URI names '" + entry +
                               "', which is not a readable regular file (" + problem + ")");
    }
    if (comma == std::string::npos) {
      return;
    }
    begin = comma + 1;
  }
}

std::shared_ptr<const Context> current_context() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_context) {
    throw std::runtime_error("rclcpp::init() has not been called, or rclcpp::shutdown() has");
  }
  return g_context;
}

bool is_live(const Context& context) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_context.get() == &context && g_running.load();
}

}  // namespace rclcpp_dds

namespace rclcpp {

using rclcpp_dds::Context;

void init(int argc, char const* const* argv, const InitOptions& /*init_options*/,
          SignalHandlerOptions signal_handler_options) {
  std::lock_guard<std::mutex> lock(rclcpp_dds::g_mutex);
  if (rclcpp_dds::g_context) {
    throw std::runtime_error("rclcpp::init() called twice without rclcpp::shutdown()");
  }
  auto context = std::make_shared<Context>();
  context->arguments = rclcpp_dds::parse_arguments(argc, argv);
  context->domain_id = rclcpp_dds::domain_id_from_env(std::getenv("ROS_DOMAIN_ID"));
  const std::string enclave = context->arguments.enclave.value_or("/");
  if (auto problem = rclcpp_dds::check_enclave_name(enclave)) {
    throw std::runtime_error("Enclave name '" + enclave + "' is not valid: '" + problem->message +
                             "'. Invalid index: " + std::to_string(problem->index));
  }
  const rclcpp_dds::SecuritySetup security =
      rclcpp_dds::security_setup(enclave, rclcpp_dds::SecurityEnvironment::from_process());

  // Without a profile of the user's, Cyclone would use every interface and
  // multicast: keep to loopback unless told otherwise.
  const char* uri = std::getenv("CYCLONEDDS_URI");
  if (uri != nullptr && *uri != '\0') {
    rclcpp_dds::check_cyclonedds_uri(uri);
  } else {
    context->domain = dds_create_domain(context->domain_id, rclcpp_dds::loopback_profile);
    if (context->domain < 0) {
      throw std::runtime_error(
          "cannot create DDS domain " + std::to_string(context->domain_id) +
          " with the loopback profile: " + rclcpp_dds::dds_error(context->domain));
    }
  }

  try {
    context->participant = rclcpp_dds::create_participant(context->domain_id, enclave, security);
    context->graph = std::make_shared<rclcpp_dds::Graph>(context->participant);
  } catch (const std::exception&) {
    rclcpp_dds::release(*context);
    throw;
  }
  if (!security.notice.empty()) {
    std::cerr << security.notice << std::endl;
  }

  rclcpp_dds::reset_wake_fd();
  rclcpp_dds::g_context = std::move(context);
  rclcpp_dds::g_running.store(true);
  rclcpp_dds::g_log_signals.store(rclcpp_dds::logs_rclcpp_info(rclcpp_dds::g_context->arguments));
  rclcpp_dds::g_colour_signals.store(rclcpp_dds::colours_console());
  rclcpp_dds::install_handlers(signal_handler_options);
}

bool ok() { return rclcpp_dds::g_running.load(); }

bool shutdown() {
  std::shared_ptr<Context> context;
  {
    std::lock_guard<std::mutex> lock(rclcpp_dds::g_mutex);
    if (!rclcpp_dds::g_context) {
      return false;
    }
    rclcpp_dds::g_running.store(false);
    rclcpp_dds::wake_sleepers();
    rclcpp_dds::restore_handlers();
    context = std::move(rclcpp_dds::g_context);
  }
  // Deleting the participant deletes every reader and writer under it.
  rclcpp_dds::release(*context);
  return true;
}

bool sleep_for(const std::chrono::nanoseconds& nanoseconds) {
  const auto deadline = std::chrono::steady_clock::now() + nanoseconds;
  while (ok()) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::nanoseconds::zero()) {
      return true;
    }
    const auto secs = std::chrono::duration_cast<std::chrono::seconds>(left);
    const timespec timeout{static_cast<time_t>(secs.count()),
                           static_cast<long>((left - secs).count())};
    pollfd wake{rclcpp_dds::g_wake_fd.load(), POLLIN, 0};
    if (ppoll(&wake, 1, &timeout, nullptr) > 0) {
      break;
    }
  }
  return false;
}

}  // namespace rclcpp
