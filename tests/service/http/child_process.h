#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace chati::service::http::testing {

// A program run as a real process, its stdout read line by line and its stderr kept in a file.
class child_process {
 public:
  child_process(const std::vector<std::string>& argv, const std::vector<std::string>& extra_environment,
                const std::filesystem::path& stderr_file);
  ~child_process();  // kills it if it still runs
  child_process(const child_process&) = delete;
  child_process& operator=(const child_process&) = delete;

  // The next line of stdout without its newline; nothing at end of output or after `timeout`.
  std::optional<std::string> read_line(std::chrono::milliseconds timeout);
  void signal(int number);
  // The exit status, or -1 when it does not end within `timeout` or died of a signal.
  int wait(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  int stdout_fd_ = -1;
  std::string pending_;
  std::optional<int> status_;
};

struct finished_process {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// Runs a program to its end (at most `timeout`) and returns what it printed.
finished_process run_to_end(const std::vector<std::string>& argv, const std::vector<std::string>& extra_environment,
                            const std::filesystem::path& scratch, std::chrono::milliseconds timeout);

std::string read_file(const std::filesystem::path& path);

}  // namespace chati::service::http::testing
