#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bank_file.h"

namespace chati::service {

enum class text_encoding { utf8, gb18030 };

// UTF-8 when the bytes are UTF-8, else GB18030 when most lines that are not UTF-8 decode as
// GB18030 (so that one bad row does not turn a whole UTF-8 file into garbage).
text_encoding detect_encoding(std::string_view data);

// One CSV record (RFC 4180) as raw bytes, with the line it starts on.
struct csv_record {
  std::size_t line = 0;
  std::vector<std::string> fields;
  std::string error;  // broken quoting; the reader then resumes on the line after `line`
};

class csv_reader {
 public:
  explicit csv_reader(std::string_view data) : data_(data) {}
  // Reads the next record, skipping blank lines; false at the end of the data.
  bool next(csv_record& out);
  std::size_t offset() const { return pos_; }

 private:
  bool read_field(std::string& field, std::string& error);
  void resume_after_line(std::size_t start, std::size_t start_line);

  std::string_view data_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
};

// One question read from an import file, checked and decoded, or the reason it is unusable.
struct parsed_row {
  std::size_t line = 0;
  question_row row;
  std::string norm;   // the normalised question, UTF-8
  std::string error;  // empty when the row is good
};

class row_reader {
 public:
  virtual ~row_reader() = default;
  // Reads the next row, good or bad; false at the end of the file.
  virtual bool next(parsed_row& out) = 0;
  // Bytes of the file read so far.
  virtual std::size_t offset() const = 0;
};

struct row_reader_or_error {
  std::unique_ptr<row_reader> rows;
  std::string error;  // why the file cannot be imported at all (e.g. a missing column)
};

// Reads the questions of an import file: CSV with a header row naming `question` and `answer`
// (optionally `options` and `type`), or JSON Lines with the same keys (the file starts with `{`).
// `data` must outlive the reader.
row_reader_or_error open_rows(std::string_view data);

}  // namespace chati::service
