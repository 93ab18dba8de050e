#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bank_file.h"
#include "import_parsers.h"
#include "lookup.h"

namespace chati::service {
namespace {

using clock_type = std::chrono::steady_clock;

// Files at least this large get a progress bar when stderr is a terminal.
constexpr std::size_t progress_min_bytes = 1 << 20;

void print_usage(std::FILE* out) {
  std::string bank;
  try {
    bank = default_bank_path().string();
  } catch (const std::runtime_error&) {
    bank = "~/.local/share/chati/bank.sqlite";
  }
  std::fprintf(out,
               "Usage: chati-server import [--bank PATH] FILE...\n"
               "\n"
               "Loads questions into a question bank.\n"
               "\n"
               "  --bank PATH   the bank to load into, created if missing\n"
               "                (default: %s, which starts with the sample questions)\n"
               "  -h, --help    show this help\n"
               "\n"
               "Each FILE is CSV with a header row naming the columns question and answer,\n"
               "optionally options and type (RFC 4180 quoting), or JSON Lines with the same keys.\n"
               "UTF-8 and GBK/GB18030 are detected. Each file is one transaction: bad rows are\n"
               "reported as FILE:LINE: reason and skipped; a file that cannot be read leaves the\n"
               "bank as it was. A question already in the bank with the same answer is merged.\n"
               "Exit status: 0 when every file was imported, 1 when a file failed, 2 for usage.\n",
               bank.c_str());
}

int usage_error(const std::string& message) {
  std::fprintf(stderr, "chati-server import: %s\nTry 'chati-server import --help'.\n", message.c_str());
  return 2;
}

std::optional<std::string> read_file(const std::string& name, std::string& error) {
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec)) {
    error = "is a directory";
    return std::nullopt;
  }
  std::ifstream in(name, std::ios::binary);
  if (!in) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "read error";
    return std::nullopt;
  }
  return data;
}

class progress_bar {
 public:
  progress_bar(const std::string& name, std::size_t total)
      : name_(name), total_(total), on_(total >= progress_min_bytes && isatty(STDERR_FILENO)) {}

  void update(std::size_t done) {
    if (!on_) return;
    const auto now = clock_type::now();
    if (now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    const int width = 30;
    const double share = total_ ? static_cast<double>(done) / static_cast<double>(total_) : 1.0;
    const int filled = static_cast<int>(share * width);
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", name_.c_str(), std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(width - filled), ' ').c_str(), static_cast<int>(share * 100));
    std::fflush(stderr);
    drawn_ = true;
  }

  // Clears the bar so that a message can take its line.
  void clear() {
    if (!drawn_) return;
    std::fputs("\r\033[K", stderr);
    drawn_ = false;
    last_ = {};
  }

 private:
  std::string name_;
  std::size_t total_;
  bool on_;
  bool drawn_ = false;
  clock_type::time_point last_{};
};

struct totals {
  std::size_t added = 0, merged = 0, skipped = 0, files = 0, failed = 0;
};

// Imports one file in one transaction; returns false (and the bank is unchanged) when it fails.
bool import_file(sqlite3* db, const std::string& name, totals& sum) {
  std::string error;
  const auto data = read_file(name, error);
  if (!data) {
    std::fprintf(stderr, "%s: cannot read: %s\n", name.c_str(), error.c_str());
    return false;
  }
  auto opened = open_rows(*data);
  if (!opened.rows) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), opened.error.c_str());
    return false;
  }
  totals file;
  progress_bar bar(name, data->size());
  try {
    transaction tx(db);
    bank_writer writer(db);
    parsed_row row;
    std::size_t n = 0;
    while (opened.rows->next(row)) {
      if (!row.error.empty()) {
        bar.clear();
        std::fprintf(stderr, "%s:%zu: %s\n", name.c_str(), row.line, row.error.c_str());
        ++file.skipped;
      } else if (writer.add(row.row, row.norm) == bank_writer::outcome::added) {
        ++file.added;
      } else {
        ++file.merged;
      }
      if (++n % 1024 == 0) bar.update(opened.rows->offset());
    }
    tx.commit();
  } catch (const std::runtime_error& e) {
    bar.clear();
    std::fprintf(stderr, "%s: not imported: %s\n", name.c_str(), e.what());
    return false;
  }
  bar.clear();
  sum.added += file.added;
  sum.merged += file.merged;
  sum.skipped += file.skipped;
  return true;
}

}  // namespace

int import_command(int argc, char** argv) {
  std::optional<std::filesystem::path> bank;
  std::vector<std::string> files;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_done || arg.empty() || arg[0] != '-' || arg == "-") {
      files.push_back(arg);
    } else if (arg == "--") {
      options_done = true;
    } else if (arg == "-h" || arg == "--help") {
      print_usage(stdout);
      return 0;
    } else if (arg == "--bank" || arg.starts_with("--bank=")) {
      std::string value;
      if (arg == "--bank") {
        if (i + 1 >= argc) return usage_error("--bank needs a path");
        value = argv[++i];
      } else {
        value = arg.substr(7);
      }
      if (value.empty()) return usage_error("--bank needs a path");
      bank = value;
    } else {
      return usage_error("unknown option '" + arg + "'");
    }
  }
  if (files.empty()) return usage_error("no files to import");

  const auto started = clock_type::now();
  sqlite_handle db;
  try {
    if (!bank) {
      // The default bank always starts as the sample bank, so that `serve` keeps answering it.
      bank = default_bank_path();
      ensure_sample_bank(*bank);
    }
    db = open_bank_for_writing(*bank);
  } catch (const std::runtime_error& e) {
    std::fprintf(stderr, "chati-server import: %s\n", e.what());
    return 1;
  }

  totals sum;
  for (const std::string& name : files) {
    ++sum.files;
    if (!import_file(db.get(), name, sum)) ++sum.failed;
  }
  const double seconds = std::chrono::duration<double>(clock_type::now() - started).count();
  std::printf("%zu added, %zu merged, %zu skipped from %zu file%s in %.2f s", sum.added, sum.merged,
              sum.skipped, sum.files - sum.failed, sum.files - sum.failed == 1 ? "" : "s", seconds);
  if (sum.failed) std::printf("; %zu file%s not imported", sum.failed, sum.failed == 1 ? "" : "s");
  std::printf("\n");
  return sum.failed ? 1 : 0;
}

}  // namespace chati::service
