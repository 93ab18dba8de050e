// Fuzzes the reading of the request target (finding and decoding `w`) and the rendering of the
// answer page and JSON for whatever text comes out, with a bank that echoes the query back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "encoding.h"
#include "query_endpoint.h"

namespace {

class echoing_index final : public chati::service::question_index {
 public:
  chati::service::lookup_result lookup(std::string_view query, std::size_t limit) const override {
    chati::service::lookup_result result;
    result.understood = std::string(query);
    const std::string text(query);
    for (std::size_t i = 0; i < limit && i <= text.size(); ++i) {
      const double score = 1.0 - static_cast<double>(i) / static_cast<double>(limit);
      result.matches.push_back({text.substr(i), text.substr(0, i), text, text.substr(text.size() / 2), score, score > 0.5});
    }
    return result;
  }
  std::size_t size() const override { return 1; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace chati::service::http;
  if (size == 0) return 0;
  const bool as_json = data[0] & 1;
  const bool whole_target = data[0] & 2;
  std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string target = whole_target ? input : "/tmbx/qutimu.php?w=" + input;
  static const echoing_index index;
  const http_answer answer = answer_query(target, as_json ? answer_format::json : answer_format::html, index);
  if (answer.status != 200 && answer.status != 400) std::abort();
  // Whatever came in, what goes out is valid UTF-8, and JSON that parses.
  if (!chati::service::is_valid_utf8(answer.body)) std::abort();
  if (as_json) (void)nlohmann::json::parse(answer.body);
  if (!as_json && answer.body.find("<title>") == std::string::npos) std::abort();
  return 0;
}
