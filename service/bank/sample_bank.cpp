#include "sample_bank.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>

#include "import_parsers.h"
#include "lookup.h"
#include "normalize.h"
#include "text.h"

extern const unsigned char chati_sample_questions_csv[];
extern const std::size_t chati_sample_questions_csv_size;

namespace chati::service {

std::string_view sample_questions_csv() {
  return {reinterpret_cast<const char*>(chati_sample_questions_csv), chati_sample_questions_csv_size};
}

std::filesystem::path default_bank_path() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  std::filesystem::path data;
  if (xdg && *xdg == '/') {
    data = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* pw = getpwuid(getuid());
      home = pw ? pw->pw_dir : nullptr;
    }
    if (!home || !*home) throw std::runtime_error("cannot find the home directory for the default bank");
    data = std::filesystem::path(home) / ".local" / "share";
  }
  return data / "chati" / "bank.sqlite";
}

void ensure_sample_bank(const std::filesystem::path& bank, const std::filesystem::path& poems_dir) {
  std::error_code ec;
  if (std::filesystem::exists(bank, ec)) return;
  if (bank.has_parent_path()) {
    std::filesystem::create_directories(bank.parent_path(), ec);
    if (ec) {
      throw std::runtime_error("bank " + bank.string() + ": cannot create its directory: " + ec.message());
    }
  }
  // Built beside the bank and renamed into place, so that no half-made bank is ever seen.
  const std::filesystem::path building = bank.string() + ".building." + std::to_string(getpid());
  try {
    {
      auto db = open_bank_for_writing(building);
      transaction tx(db.get());
      bank_writer writer(db.get());
      auto sample = open_rows(sample_questions_csv());
      if (!sample.rows) throw std::runtime_error("built-in questions: " + sample.error);
      parsed_row row;
      while (sample.rows->next(row)) {
        if (!row.error.empty()) {
          throw std::runtime_error("built-in questions, line " + std::to_string(row.line) + ": " + row.error);
        }
        writer.add(row.row, row.norm);
      }
      for (const question_row& q : poetry_questions_in(poems_dir)) {
        writer.add(q, encode_utf8(normalize_question(q.question)));
      }
      tx.commit();
    }
    std::filesystem::rename(building, bank);
  } catch (const std::exception& e) {
    std::filesystem::remove(building, ec);
    throw std::runtime_error(std::string("cannot create the sample bank: ") + e.what());
  }
}

void ensure_sample_bank(const std::filesystem::path& bank) { ensure_sample_bank(bank, default_poems_dir); }

}  // namespace chati::service
