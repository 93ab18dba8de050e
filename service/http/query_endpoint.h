#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "lookup.h"

namespace chati::service::http {

// A response before it goes on the wire.
struct http_answer {
  int status = 200;
  std::string content_type;
  std::string body;
};

enum class answer_format { html, json };

// How many matches a query asks the index for: the best and its runners-up.
inline constexpr std::size_t matches_asked = 4;

// Answers `GET /tmbx/qutimu.php` for the raw request target (path and query as received).
http_answer answer_query(std::string_view target, answer_format format, const question_index& index);

// A refused request, as a page or as JSON.
http_answer answer_error(int status, std::string_view message, answer_format format);

}  // namespace chati::service::http
