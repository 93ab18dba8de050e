#include "query_string.h"

namespace chati::service::http {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::string_view> query_of_target(std::string_view target) {
  const auto question_mark = target.find('?');
  if (question_mark == std::string_view::npos) return std::nullopt;
  return target.substr(question_mark + 1);
}

std::string percent_decode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const int high = hex_value(text[i + 1]);
      const int low = hex_value(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

std::optional<std::string> question_bytes_of_target(std::string_view target) {
  const auto query = query_of_target(target);
  if (!query) return std::nullopt;
  std::size_t start = 0;
  while (start <= query->size()) {
    if (query->substr(start, 2) == "w=") return percent_decode(query->substr(start + 2));
    const auto ampersand = query->find('&', start);
    if (ampersand == std::string_view::npos) break;
    start = ampersand + 1;
  }
  return std::nullopt;
}

}  // namespace chati::service::http
