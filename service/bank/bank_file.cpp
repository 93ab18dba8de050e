#include "bank_file.h"

#include <stdexcept>
#include <system_error>

#include "normalize.h"
#include "text.h"

namespace chati::service {
namespace {

// Marks a SQLite file as a question bank ("CHTI").
constexpr int bank_application_id = 0x43485449;

std::runtime_error bank_error(const std::filesystem::path& bank, std::string_view what) {
  return std::runtime_error("bank " + bank.string() + ": " + std::string(what));
}

std::string text_column(sqlite3_stmt* st, int col) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
  return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st, col))) : std::string();
}

int pragma_int(sqlite3* db, const char* sql) {
  auto st = prepare(db, sql);
  const int rc = sqlite3_step(st.get());
  if (rc != SQLITE_ROW) throw std::runtime_error(sqlite3_errmsg(db));
  return sqlite3_column_int(st.get(), 0);
}

bool has_question_table(sqlite3* db) {
  auto st = prepare(db, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = 'question'");
  return sqlite3_step(st.get()) == SQLITE_ROW;
}

// Checks that an opened file is a bank; returns false when it is an empty database.
bool check_bank(sqlite3* db, const std::filesystem::path& bank) {
  try {
    const int app = pragma_int(db, "PRAGMA application_id");
    const bool table = has_question_table(db);
    if (app == bank_application_id && table) return true;
    if (app == 0 && !table && pragma_int(db, "SELECT count(*) FROM sqlite_schema") == 0) return false;
  } catch (const std::runtime_error& e) {
    throw bank_error(bank, std::string("not a question bank (") + e.what() + ")");
  }
  throw bank_error(bank, "not a question bank (a SQLite file made by something else)");
}

sqlite_handle open_file(const std::filesystem::path& bank, int flags) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(bank.c_str(), &raw, flags, nullptr);
  sqlite_handle db(raw);
  if (rc != SQLITE_OK) {
    throw bank_error(bank, std::string("cannot open: ") + (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
  }
  sqlite3_busy_timeout(db.get(), 10000);
  sqlite3_extended_result_codes(db.get(), 1);
  return db;
}

void create_schema(sqlite3* db) {
  exec(db,
       "BEGIN IMMEDIATE;"
       "CREATE TABLE question("
       "  id INTEGER PRIMARY KEY,"
       "  question TEXT NOT NULL,"
       "  answer TEXT NOT NULL,"
       "  options TEXT NOT NULL DEFAULT '',"
       "  type TEXT NOT NULL DEFAULT '',"
       "  norm TEXT NOT NULL);"
       "CREATE UNIQUE INDEX question_norm_answer ON question(norm, answer);");
  exec(db, ("PRAGMA application_id = " + std::to_string(bank_application_id) + ";" +
            "PRAGMA user_version = " + std::to_string(normalizer_version) + ";COMMIT;")
               .c_str());
}

// Banks written with older normalising rules get their `norm` column rewritten (rows that now
// collide are merged) so that duplicates keep being found.
void upgrade_norms(sqlite3* db) {
  if (pragma_int(db, "PRAGMA user_version") == normalizer_version) return;
  transaction tx(db);
  auto read = prepare(db, "SELECT id, question FROM question");
  auto write = prepare(db, "UPDATE OR REPLACE question SET norm = ?1 WHERE id = ?2");
  while (sqlite3_step(read.get()) == SQLITE_ROW) {
    const std::string norm = encode_utf8(normalize_question(text_column(read.get(), 1)));
    sqlite3_bind_text(write.get(), 1, norm.data(), static_cast<int>(norm.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(write.get(), 2, sqlite3_column_int64(read.get(), 0));
    if (sqlite3_step(write.get()) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
    sqlite3_reset(write.get());
  }
  exec(db, ("PRAGMA user_version = " + std::to_string(normalizer_version)).c_str());
  tx.commit();
}

}  // namespace

sqlite_statement prepare(sqlite3* db, std::string_view sql) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &st, nullptr) != SQLITE_OK) {
    throw std::runtime_error(sqlite3_errmsg(db));
  }
  return sqlite_statement(st);
}

void exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::string message = err ? err : sqlite3_errmsg(db);
    sqlite3_free(err);
    throw std::runtime_error(message);
  }
}

sqlite_handle open_bank_for_reading(const std::filesystem::path& bank) {
  std::error_code ec;
  const auto status = std::filesystem::status(bank, ec);
  if (!std::filesystem::exists(status)) throw bank_error(bank, "no such file");
  if (std::filesystem::is_directory(status)) throw bank_error(bank, "is a directory");
  // Read-write when possible: a hot journal left by a killed import must be rolled back on open.
  sqlite_handle db;
  try {
    db = open_file(bank, SQLITE_OPEN_READWRITE);
  } catch (const std::runtime_error&) {
    db = open_file(bank, SQLITE_OPEN_READONLY);
  }
  if (!check_bank(db.get(), bank)) throw bank_error(bank, "not a question bank (an empty file)");
  return db;
}

sqlite_handle open_bank_for_writing(const std::filesystem::path& bank) {
  std::error_code ec;
  if (std::filesystem::is_directory(bank, ec)) throw bank_error(bank, "is a directory");
  auto db = open_file(bank, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  // Imports insert into the (norm, answer) index in random order: a page cache of 64 MiB instead
  // of SQLite's 2 MiB keeps that index in memory for banks of a million questions.
  sqlite3_exec(db.get(), "PRAGMA cache_size = -65536", nullptr, nullptr, nullptr);
  if (!check_bank(db.get(), bank)) {
    try {
      create_schema(db.get());
    } catch (const std::runtime_error& e) {
      throw bank_error(bank, std::string("cannot create: ") + e.what());
    }
  }
  try {
    upgrade_norms(db.get());
  } catch (const std::runtime_error& e) {
    throw bank_error(bank, std::string("cannot update: ") + e.what());
  }
  return db;
}

void read_bank(sqlite3* db,
               const std::function<void(long long, const question_view&, std::string_view)>& row) {
  const bool fresh = pragma_int(db, "PRAGMA user_version") == normalizer_version;
  auto st = prepare(db, "SELECT id, question, answer, options, type, norm FROM question ORDER BY id");
  auto view = [&](int col) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), col));
    return std::string_view(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(st.get(), col)));
  };
  int rc;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    // Each column is fetched once and before the next, as sqlite3_column_text requires.
    question_view r;
    r.question = view(1);
    r.answer = view(2);
    r.options = view(3);
    r.type = view(4);
    const std::string_view norm = view(5);
    if (fresh) {
      row(sqlite3_column_int64(st.get(), 0), r, norm);
    } else {
      row(sqlite3_column_int64(st.get(), 0), r, encode_utf8(normalize_question(r.question)));
    }
  }
  if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
}

bank_writer::bank_writer(sqlite3* db)
    : db_(db),
      insert_(prepare(db,
                      "INSERT INTO question(question, answer, options, type, norm) "
                      "VALUES(?1, ?2, ?3, ?4, ?5) ON CONFLICT(norm, answer) DO NOTHING")),
      fill_(prepare(db,
                    "UPDATE question SET "
                    "options = CASE WHEN options = '' THEN ?3 ELSE options END, "
                    "type = CASE WHEN type = '' THEN ?4 ELSE type END "
                    "WHERE norm = ?5 AND answer = ?2 AND ((options = '' AND ?3 <> '') OR "
                    "(type = '' AND ?4 <> ''))")) {}

bank_writer::outcome bank_writer::add(const question_row& row, std::string_view norm) {
  auto bind = [](sqlite3_stmt* st, int i, std::string_view s) {
    sqlite3_bind_text(st, i, s.empty() ? "" : s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
  };
  for (sqlite3_stmt* st : {insert_.get(), fill_.get()}) {
    bind(st, 1, row.question);
    bind(st, 2, row.answer);
    bind(st, 3, row.options);
    bind(st, 4, row.type);
    bind(st, 5, norm);
  }
  auto step = [this](sqlite3_stmt* st) {
    const int rc = sqlite3_step(st);
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
  };
  step(insert_.get());
  if (sqlite3_changes(db_) > 0) return outcome::added;
  step(fill_.get());
  return outcome::merged;
}

transaction::transaction(sqlite3* db) : db_(db), open_(false) {
  exec(db_, "BEGIN IMMEDIATE");
  open_ = true;
}

transaction::~transaction() {
  if (open_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void transaction::commit() {
  exec(db_, "COMMIT");
  open_ = false;
}

}  // namespace chati::service
