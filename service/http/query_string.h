#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace chati::service::http {

// The query string of a raw request target ("/path?query"): what follows the first '?', or
// nothing when there is no '?'.
std::optional<std::string_view> query_of_target(std::string_view target);

// Decodes every "%XX" with two hex digits into its byte. Anything else stays as it is: a '%'
// without two hex digits after it, and '+' (which the client never uses for a space).
std::string percent_decode(std::string_view text);

// The question bytes of a raw request target: everything after the first "w=" that starts a
// parameter, to the end of the query, percent-decoded. The client does not escape '&', so a
// question that contains one arrives whole. Nothing when the query has no "w=" parameter.
std::optional<std::string> question_bytes_of_target(std::string_view target);

}  // namespace chati::service::http
