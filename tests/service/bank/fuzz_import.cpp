// Feeds arbitrary bytes to the import parsers (CSV and JSON Lines, UTF-8 and GB18030).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "import_parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto opened = chati::service::open_rows(bytes);
  if (opened.rows) {
    chati::service::parsed_row row;
    std::size_t last_line = 0;
    while (opened.rows->next(row)) {
      // Lines only go forward, and every row is either good or says why not.
      if (row.line <= last_line) __builtin_trap();
      if (row.error.empty() && (row.row.question.empty() || row.row.answer.empty() || row.norm.empty()))
        __builtin_trap();
      last_line = row.line;
    }
  }
  chati::service::csv_reader reader(bytes);
  chati::service::csv_record record;
  while (reader.next(record)) {
  }
  return 0;
}
