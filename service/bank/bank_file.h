#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace chati::service {

// One question as stored in the bank. Texts are UTF-8, trimmed.
struct question_row {
  std::string question;
  std::string answer;
  std::string options;
  std::string type;
};

// A question as read from the bank, valid while it is being read.
struct question_view {
  std::string_view question;
  std::string_view answer;
  std::string_view options;
  std::string_view type;
};

struct sqlite_closer {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct sqlite_finalizer {
  void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using sqlite_handle = std::unique_ptr<sqlite3, sqlite_closer>;
using sqlite_statement = std::unique_ptr<sqlite3_stmt, sqlite_finalizer>;

sqlite_statement prepare(sqlite3* db, std::string_view sql);
void exec(sqlite3* db, const char* sql);

// Opens an existing bank for reading. Throws std::runtime_error with a message fit for the user
// when the file is missing, unreadable or not a question bank.
sqlite_handle open_bank_for_reading(const std::filesystem::path& bank);

// Opens a bank for writing, creating the file and its tables when there is no file yet (the
// directory must exist). Throws std::runtime_error like open_bank_for_reading.
sqlite_handle open_bank_for_writing(const std::filesystem::path& bank);

// Calls `row` for every question of the bank with its normalised form (UTF-8) and its id.
void read_bank(sqlite3* db,
               const std::function<void(long long id, const question_view&, std::string_view norm)>& row);

// Adds questions inside the caller's transaction. A question whose normalised form and answer are
// already in the bank is merged: stored once, missing options or type filled in.
class bank_writer {
 public:
  explicit bank_writer(sqlite3* db);
  enum class outcome { added, merged };
  outcome add(const question_row& row, std::string_view norm);

 private:
  sqlite3* db_;
  sqlite_statement insert_;
  sqlite_statement fill_;
};

// RAII transaction: rolled back unless committed.
class transaction {
 public:
  explicit transaction(sqlite3* db);
  ~transaction();
  transaction(const transaction&) = delete;
  transaction& operator=(const transaction&) = delete;
  void commit();

 private:
  sqlite3* db_;
  bool open_;
};

}  // namespace chati::service
