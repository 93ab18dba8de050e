#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace chati::service {

// One question of the bank as a lookup found it. Texts are UTF-8 as stored in the bank.
struct match {
  std::string question;
  std::string answer;
  std::string options;  // empty when the question has none
  std::string type;     // empty when unknown
  double score = 0;     // character-level similarity to the query, in [0, 1]
  bool confident = false;  // score is above the acceptance threshold
};

struct lookup_result {
  std::string understood;      // the query after normalising: what was searched for
  std::vector<match> matches;  // best first, at most the limit asked for
};

// The searchable bank: built from the bank file at start-up, then read-only, so lookups may run
// concurrently from any number of threads.
class question_index {
 public:
  virtual ~question_index() = default;
  virtual lookup_result lookup(std::string_view utf8_query, std::size_t limit) const = 0;
  virtual std::size_t size() const = 0;
};

// Reads the bank file and builds the index over it. Throws std::runtime_error with a message fit
// for the user when the file is missing, unreadable or not a question bank.
std::unique_ptr<question_index> open_question_index(const std::filesystem::path& bank);

// Where `serve` and `import` look when no --bank is given.
std::filesystem::path default_bank_path();

// Creates the sample bank at `bank` if no file is there yet (the built-in questions, plus poetry
// questions made from the poems of the fortunes-zh package when it is installed, as setup does).
// Throws std::runtime_error on failure.
void ensure_sample_bank(const std::filesystem::path& bank);

// Runs `chati-server import ARGS...` (argv[0] is "import"); returns the process exit status.
int import_command(int argc, char** argv);

}  // namespace chati::service
