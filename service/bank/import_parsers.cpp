#include "import_parsers.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "encoding.h"
#include "normalize.h"
#include "text.h"

namespace chati::service {
namespace {

constexpr std::size_t max_text_bytes = 64 * 1024;
constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";
constexpr std::string_view gb18030_bom = "\x84\x31\x95\x33";

bool has_high_byte(std::string_view s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::string_view trim(std::string_view s) {
  auto is_ws = [](std::string_view t, std::size_t i) -> std::size_t {
    const auto c = static_cast<unsigned char>(t[i]);
    if (c == ' ' || (c >= 0x09 && c <= 0x0D)) return 1;
    if (t.substr(i).starts_with("\xE3\x80\x80") || t.substr(i).starts_with(utf8_bom)) return 3;
    return 0;
  };
  for (;;) {
    if (s.empty()) return s;
    if (std::size_t n = is_ws(s, 0)) {
      s.remove_prefix(n);
      continue;
    }
    const std::size_t last = s.size() - 1;
    if (is_ws(s, last)) {
      s.remove_suffix(1);
      continue;
    }
    if (s.size() >= 3 && is_ws(s, s.size() - 3) == 3) {
      s.remove_suffix(3);
      continue;
    }
    return s;
  }
}

// Trims the row, checks it and computes its normalised question; returns the reason it is bad.
std::string finish_row(parsed_row& out) {
  question_row& r = out.row;
  for (std::string* field : {&r.question, &r.answer, &r.options, &r.type}) {
    *field = std::string(trim(*field));
    if (field->find('\0') != std::string::npos) return "text contains a NUL character";
    if (field->size() > max_text_bytes) return "text longer than 64 KiB";
  }
  if (r.question.empty()) return "missing question";
  if (r.answer.empty()) return "missing answer";
  out.norm = encode_utf8(normalize_question(r.question));
  if (out.norm.empty()) return "question has no letters or digits to match";
  return {};
}

// Decodes the bytes of one field or line in the file's encoding.
class field_decoder {
 public:
  explicit field_decoder(text_encoding enc) : enc_(enc) {
    if (enc_ == text_encoding::gb18030) gb_.emplace();
  }
  std::optional<std::string> decode(std::string_view bytes) {
    if (enc_ == text_encoding::utf8 || !has_high_byte(bytes)) {
      if (is_valid_utf8(bytes)) return std::string(bytes);
      return std::nullopt;
    }
    return gb_->decode(bytes);
  }
  const char* failure() const {
    return enc_ == text_encoding::utf8 ? "bytes that are not UTF-8" : "bytes that are not GBK/GB18030";
  }

 private:
  text_encoding enc_;
  std::optional<gb18030_decoder> gb_;
};

enum class column { question, answer, options, type, other };

column column_named(std::string name) {
  for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (name == "question" || name == "题目" || name == "问题") return column::question;
  if (name == "answer" || name == "答案") return column::answer;
  if (name == "options" || name == "选项") return column::options;
  if (name == "type" || name == "题型" || name == "类型") return column::type;
  return column::other;
}

class csv_rows : public row_reader {
 public:
  csv_rows(std::string_view data, text_encoding enc) : reader_(data), decoder_(enc) {}

  // Reads the header; returns why the file cannot be read, or nothing.
  std::string read_header() {
    csv_record header;
    if (!reader_.next(header)) return "empty file: no header row";
    if (!header.error.empty()) return "line " + std::to_string(header.line) + ": " + header.error;
    std::string found;
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
      auto name = decoder_.decode(header.fields[i]);
      if (!name) return "line " + std::to_string(header.line) + ": header has " + decoder_.failure();
      const std::string trimmed(trim(*name));
      found += (found.empty() ? "" : ", ") + trimmed;
      const column c = column_named(trimmed);
      if (c != column::other && !index_[static_cast<int>(c)]) index_[static_cast<int>(c)] = i;
    }
    width_ = header.fields.size();
    for (column need : {column::question, column::answer}) {
      if (!index_[static_cast<int>(need)]) {
        return std::string("missing column \"") + (need == column::question ? "question" : "answer") +
               "\" in the header row (found: " + found + ")";
      }
    }
    return {};
  }

  bool next(parsed_row& out) override {
    if (!reader_.next(record_)) return false;
    out = parsed_row{};
    out.line = record_.line;
    if (!record_.error.empty()) {
      out.error = record_.error;
      return true;
    }
    if (record_.fields.size() != width_) {
      out.error = "expected " + std::to_string(width_) + " fields, found " +
                  std::to_string(record_.fields.size());
      return true;
    }
    std::string* targets[] = {&out.row.question, &out.row.answer, &out.row.options, &out.row.type};
    for (int c = 0; c < 4; ++c) {
      if (!index_[c]) continue;
      auto text = decoder_.decode(record_.fields[*index_[c]]);
      if (!text) {
        out.error = decoder_.failure();
        return true;
      }
      *targets[c] = std::move(*text);
    }
    out.error = finish_row(out);
    return true;
  }

  std::size_t offset() const override { return reader_.offset(); }

 private:
  csv_reader reader_;
  field_decoder decoder_;
  csv_record record_;
  std::optional<std::size_t> index_[4];
  std::size_t width_ = 0;
};

// JSON Lines are parsed by SQLite's JSON functions: already a dependency, and well fuzzed.
class jsonl_rows : public row_reader {
 public:
  jsonl_rows(std::string_view data, text_encoding enc) : data_(data), decoder_(enc) {
    sqlite3* raw = nullptr;
    if (sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      sqlite3_close_v2(raw);
      throw std::runtime_error("cannot start SQLite");
    }
    db_.reset(raw);
    kind_ = prepare(raw, "SELECT CASE WHEN json_valid(?1) THEN json_type(?1) END");
    fields_ = prepare(raw,
                      "SELECT json_type(?1, '$.question'), json_extract(?1, '$.question'),"
                      " json_type(?1, '$.answer'), json_extract(?1, '$.answer'),"
                      " json_type(?1, '$.options'),"
                      " CASE json_type(?1, '$.options') WHEN 'array' THEN"
                      "  (SELECT group_concat(value, char(10)) FROM json_each(?1, '$.options'))"
                      "  ELSE json_extract(?1, '$.options') END,"
                      " json_type(?1, '$.type'), json_extract(?1, '$.type')");
  }

  bool next(parsed_row& out) override {
    for (;;) {
      if (pos_ >= data_.size()) return false;
      std::size_t end = data_.find('\n', pos_);
      if (end == std::string_view::npos) end = data_.size();
      std::string_view line = data_.substr(pos_, end - pos_);
      pos_ = end + 1;
      const std::size_t number = line_++;
      if (trim(line).empty()) continue;
      out = parsed_row{};
      out.line = number;
      auto text = decoder_.decode(line);
      if (!text) {
        out.error = decoder_.failure();
      } else {
        out.error = parse(*text, out.row);
        if (out.error.empty()) out.error = finish_row(out);
      }
      return true;
    }
  }

  std::size_t offset() const override { return std::min(pos_, data_.size()); }

 private:
  static std::string column_text(sqlite3_stmt* st, int col) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st, col))) : std::string();
  }

  std::string parse(const std::string& line, question_row& row) {
    sqlite3_stmt* kind = kind_.get();
    sqlite3_bind_text(kind, 1, line.data(), static_cast<int>(line.size()), SQLITE_STATIC);
    std::string type;
    if (sqlite3_step(kind) == SQLITE_ROW) type = column_text(kind, 0);
    sqlite3_reset(kind);
    if (type.empty()) return "not valid JSON";
    if (type != "object") return "not a JSON object";

    sqlite3_stmt* st = fields_.get();
    sqlite3_bind_text(st, 1, line.data(), static_cast<int>(line.size()), SQLITE_STATIC);
    std::string error;
    if (sqlite3_step(st) != SQLITE_ROW) {
      error = "not valid JSON";
    } else {
      const char* names[] = {"question", "answer", "options", "type"};
      std::string* targets[] = {&row.question, &row.answer, &row.options, &row.type};
      for (int c = 0; c < 4 && error.empty(); ++c) {
        const std::string t = column_text(st, 2 * c);
        if (t.empty() || t == "null") continue;
        if (t == "object" || (t == "array" && c != 2) || t == "true" || t == "false") {
          error = std::string("\"") + names[c] + "\" is not text";
        } else {
          *targets[c] = column_text(st, 2 * c + 1);
        }
      }
    }
    sqlite3_reset(st);
    return error;
  }

  std::string_view data_;
  field_decoder decoder_;
  sqlite_handle db_;
  sqlite_statement kind_;
  sqlite_statement fields_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
};

}  // namespace

text_encoding detect_encoding(std::string_view data) {
  if (data.starts_with(gb18030_bom)) return text_encoding::gb18030;
  if (is_valid_utf8(data)) return text_encoding::utf8;
  gb18030_decoder gb;
  std::size_t utf8_lines = 0, gb_lines = 0;
  std::size_t pos = 0;
  while (pos < data.size()) {
    std::size_t end = data.find('\n', pos);
    if (end == std::string_view::npos) end = data.size();
    const std::string_view line = data.substr(pos, end - pos);
    pos = end + 1;
    if (!has_high_byte(line)) continue;
    if (is_valid_utf8(line)) {
      ++utf8_lines;
    } else if (gb.decode(line)) {
      ++gb_lines;
    }
  }
  return gb_lines > utf8_lines ? text_encoding::gb18030 : text_encoding::utf8;
}

void csv_reader::resume_after_line(std::size_t start, std::size_t start_line) {
  const std::size_t nl = data_.find('\n', start);
  pos_ = nl == std::string_view::npos ? data_.size() : nl + 1;
  line_ = start_line + 1;
}

// Reads one field at pos_; returns true when the record goes on (a comma followed).
bool csv_reader::read_field(std::string& field, std::string& error) {
  const std::size_t n = data_.size();
  if (pos_ < n && data_[pos_] == '"') {
    ++pos_;
    for (;;) {
      const std::size_t q = data_.find('"', pos_);
      if (q == std::string_view::npos) {
        error = "quoted field is never closed";
        return false;
      }
      const std::string_view part = data_.substr(pos_, q - pos_);
      line_ += static_cast<std::size_t>(std::count(part.begin(), part.end(), '\n'));
      field.append(part);
      pos_ = q + 1;
      if (pos_ < n && data_[pos_] == '"') {
        field.push_back('"');
        ++pos_;
        continue;
      }
      break;
    }
    if (pos_ >= n) return false;
    if (data_[pos_] == ',') {
      ++pos_;
      return true;
    }
    if (data_[pos_] == '\n' || (data_[pos_] == '\r' && pos_ + 1 < n && data_[pos_ + 1] == '\n')) {
      pos_ += data_[pos_] == '\r' ? 2 : 1;
      ++line_;
      return false;
    }
    error = "text after the closing quote of a field";
    return false;
  }
  const std::size_t start = pos_;
  while (pos_ < n && data_[pos_] != ',' && data_[pos_] != '\n') {
    if (data_[pos_] == '"') {
      error = "quote inside an unquoted field";
      return false;
    }
    ++pos_;
  }
  std::size_t end = pos_;
  if (pos_ < n && data_[pos_] == '\n' && end > start && data_[end - 1] == '\r') --end;
  field.assign(data_.substr(start, end - start));
  if (pos_ >= n) return false;
  if (data_[pos_] == ',') {
    ++pos_;
    return true;
  }
  ++pos_;
  ++line_;
  return false;
}

bool csv_reader::next(csv_record& out) {
  for (;;) {
    if (pos_ >= data_.size()) return false;
    const std::size_t start = pos_;
    out.line = line_;
    out.fields.clear();
    out.error.clear();
    bool more = true;
    while (more) {
      out.fields.emplace_back();
      more = read_field(out.fields.back(), out.error);
      if (!out.error.empty()) {
        resume_after_line(start, out.line);
        out.fields.clear();
        return true;
      }
    }
    const bool blank = out.fields.size() == 1 && out.fields[0].empty() &&
                       (data_[start] == '\n' || data_[start] == '\r');
    if (!blank) return true;
  }
}

row_reader_or_error open_rows(std::string_view data) {
  const text_encoding enc = detect_encoding(data);
  if (data.starts_with(utf8_bom)) data.remove_prefix(utf8_bom.size());
  if (data.starts_with(gb18030_bom)) data.remove_prefix(gb18030_bom.size());
  const std::size_t first = data.find_first_not_of(" \t\r\n");
  row_reader_or_error result;
  if (first != std::string_view::npos && data[first] == '{') {
    result.rows = std::make_unique<jsonl_rows>(data, enc);
    return result;
  }
  auto csv = std::make_unique<csv_rows>(data, enc);
  result.error = csv->read_header();
  if (result.error.empty()) result.rows = std::move(csv);
  return result;
}

}  // namespace chati::service
