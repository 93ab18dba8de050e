#include "query_endpoint.h"

#include "answer_json.h"
#include "encoding.h"
#include "pages.h"
#include "query_string.h"

namespace chati::service::http {
namespace {

constexpr const char* html_type = "text/html; charset=utf-8";
constexpr const char* json_type = "application/json; charset=utf-8";

bool is_blank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n\f\v") == std::string_view::npos;
}

}  // namespace

http_answer answer_error(int status, std::string_view message, answer_format format) {
  if (format == answer_format::json) return {status, json_type, error_json(status, message)};
  return {status, html_type, error_page(status, message)};
}

http_answer answer_query(std::string_view target, answer_format format, const question_index& index) {
  const auto bytes = question_bytes_of_target(target);
  if (!bytes) {
    return answer_error(400, "缺少参数 w：查询的格式是 /tmbx/qutimu.php?w=题目", format);
  }
  const auto question = decode_utf8_or_gb18030(*bytes);
  if (!question) {
    return answer_error(400, "无法识别题目的编码：它既不是 UTF-8，也不是 GB18030（GBK）", format);
  }
  if (is_blank(*question)) {
    if (format == answer_format::json) return {200, json_type, answer_json(*question, {})};
    return {200, html_type, empty_question_page()};
  }
  const lookup_result result = index.lookup(*question, matches_asked);
  if (format == answer_format::json) return {200, json_type, answer_json(*question, result)};
  if (result.understood.empty()) return {200, html_type, empty_question_page()};
  return {200, html_type, answer_page(*question, result)};
}

}  // namespace chati::service::http
