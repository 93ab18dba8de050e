#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace chati::service::testing {

// A fresh directory for one test, removed with everything in it at the end.
class temp_dir {
 public:
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void write_file(const std::filesystem::path& file, std::string_view bytes);
std::string read_file(const std::filesystem::path& file);

struct process_result {
  int exit_code = -1;  // -1 when killed by a signal
  std::string out;
  std::string err;
};

// Runs a program to its end with stdout and stderr captured in files under `dir`.
process_result run_process(const std::vector<std::string>& args, const std::filesystem::path& dir);

// Starts a program in the background (output thrown away); returns its process id.
int start_process(const std::vector<std::string>& args);

}  // namespace chati::service::testing
