// Feeds arbitrary bytes to the import parsers (CSV and JSON Lines, UTF-8 and GB18030), and every
// question they accept to a lookup in a small index: normalising and matching see the same text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "import_parsers.h"
#include "ngram_index.h"
#include "sample_bank.h"

namespace {

const chati::service::ngram_index& sample_index() {
  static const chati::service::ngram_index index = [] {
    chati::service::ngram_index::builder builder;
    auto sample = chati::service::open_rows(chati::service::sample_questions_csv());
    chati::service::parsed_row row;
    while (sample.rows->next(row)) builder.add(row.row, row.norm);
    return std::move(builder).build();
  }();
  return index;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto opened = chati::service::open_rows(bytes);
  if (opened.rows) {
    chati::service::parsed_row row;
    std::size_t last_line = 0;
    int lookups = 3;  // a few per input, to keep the runs quick
    while (opened.rows->next(row)) {
      // Lines only go forward, and every row is either good or says why not.
      if (row.line <= last_line) __builtin_trap();
      if (row.error.empty() && (row.row.question.empty() || row.row.answer.empty() || row.norm.empty()))
        __builtin_trap();
      last_line = row.line;
      if (row.error.empty() && lookups-- > 0) {
        for (const auto& m : sample_index().lookup(row.row.question, 5).matches) {
          if (!(m.score >= 0.0 && m.score <= 1.0)) __builtin_trap();
        }
      }
    }
  }
  chati::service::csv_reader reader(bytes);
  chati::service::csv_record record;
  while (reader.next(record)) {
  }
  return 0;
}
