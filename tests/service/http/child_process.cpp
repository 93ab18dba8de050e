#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace chati::service::http::testing {

child_process::child_process(const std::vector<std::string>& argv, const std::vector<std::string>& extra_environment,
                             const std::filesystem::path& stderr_file) {
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderr_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

  std::vector<std::string> environment(extra_environment);
  for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
  std::vector<char*> env_pointers;
  for (auto& entry : environment) env_pointers.push_back(entry.data());
  env_pointers.push_back(nullptr);
  std::vector<std::string> args(argv);
  std::vector<char*> arg_pointers;
  for (auto& arg : args) arg_pointers.push_back(arg.data());
  arg_pointers.push_back(nullptr);

  const int spawned = posix_spawn(&pid_, args.front().c_str(), &actions, nullptr, arg_pointers.data(), env_pointers.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  stdout_fd_ = out[0];
  if (spawned != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + args.front());
  }
}

child_process::~child_process() {
  if (pid_ > 0 && !status_) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (stdout_fd_ >= 0) ::close(stdout_fd_);
}

std::optional<std::string> child_process::read_line(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto newline = pending_.find('\n');
    if (newline != std::string::npos) {
      std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd ready{stdout_fd_, POLLIN, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return std::nullopt;
    char chunk[4096];
    const ssize_t got = ::read(stdout_fd_, chunk, sizeof chunk);
    if (got <= 0) return std::nullopt;
    pending_.append(chunk, static_cast<std::size_t>(got));
  }
}

void child_process::signal(int number) {
  if (pid_ > 0 && !status_) ::kill(pid_, number);
}

int child_process::wait(std::chrono::milliseconds timeout) {
  if (status_) return *status_;
  // A pidfd becomes readable when the process ends, which gives waitpid() a time-out.
  const int exited = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
  if (exited < 0) return -1;
  pollfd ready{exited, POLLIN, 0};
  int polled;
  do {
    polled = ::poll(&ready, 1, static_cast<int>(timeout.count()));
  } while (polled < 0 && errno == EINTR);
  ::close(exited);
  if (polled <= 0) return -1;
  int status = 0;
  if (::waitpid(pid_, &status, 0) != pid_) return -1;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return *status_;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

finished_process run_to_end(const std::vector<std::string>& argv, const std::vector<std::string>& extra_environment,
                            const std::filesystem::path& scratch, std::chrono::milliseconds timeout) {
  const auto err_file = scratch / "stderr.txt";
  child_process child(argv, extra_environment, err_file);
  finished_process finished;
  while (auto line = child.read_line(timeout)) finished.out += *line + "\n";
  finished.exit_code = child.wait(timeout);
  finished.err = read_file(err_file);
  return finished;
}

}  // namespace chati::service::http::testing
