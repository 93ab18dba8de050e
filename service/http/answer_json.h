#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "lookup.h"

namespace chati::service::http {

// {"query": ..., "matches": [{"question", "answer", "options", "type", "score"}, ...]}: only the
// confident matches, best first. Any bytes are escaped into valid JSON (invalid UTF-8 becomes
// U+FFFD).
std::string answer_json(std::string_view query, const lookup_result& result);

// {"error": {"status": ..., "message": ...}} for a client that asked for JSON.
std::string error_json(int status, std::string_view message);

// {"status": "ok", "questions": N}: the answer of the health check.
std::string health_json(std::size_t questions);

}  // namespace chati::service::http
