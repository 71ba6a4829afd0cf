// Logs on command, so that tests can watch the logging of a whole process:
//   i, w, e   one INFO, WARN or ERROR call; a count may follow ("i130")
//   seq       prints the line counter
//   lines     prints the source lines of the i, w and e calls and logs nothing
//   NAME=VAL  sets an environment variable for the rest of the run
#include "env_logger.hpp"
#include "log.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The calls stay on one line each: the journal test compares CODE_LINE with these.
struct Probe {
  static constexpr int info_line = __LINE__ + 1;
  static void info(int n) { LOG_INFO("info {}", n); }
  static constexpr int warn_line = __LINE__ + 1;
  static void warn(int n) { LOG_WARN("warn {}", n); }
  static constexpr int error_line = __LINE__ + 1;
  static void error(int n) { LOG_ERROR("error {}", n); }
};

}  // namespace

int main(int argc, char** argv) {
  int calls = 0;
  for (int a = 1; a < argc; ++a) {
    const std::string command = argv[a];
    if (command == "seq") {
      std::printf("sequence %u\n", static_cast<unsigned>(EnvLogger::instance("spdlog").sequence));
      std::fflush(stdout);
    } else if (command == "lines") {
      std::printf("lines %d %d %d\n", Probe::info_line, Probe::warn_line, Probe::error_line);
    } else if (command.find('=') != std::string::npos) {
      const std::string::size_type eq = command.find('=');
      setenv(command.substr(0, eq).c_str(), command.substr(eq + 1).c_str(), 1);
    } else {
      const int count = command.size() > 1 ? std::atoi(command.c_str() + 1) : 1;
      void (*const call)(int) = command[0] == 'i'   ? Probe::info
                                : command[0] == 'w' ? Probe::warn
                                : command[0] == 'e' ? Probe::error
                                                    : nullptr;
      if (call == nullptr) {
        std::fprintf(stderr, "unknown command %s\n", command.c_str());
        return 2;
      }
      for (int i = 0; i < count; ++i) call(++calls);
    }
  }
  return 0;
}
