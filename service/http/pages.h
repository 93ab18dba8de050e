#pragma once

#include <string>
#include <string_view>

#include "lookup.h"

namespace chati::service::http {

// The HTML pages of the service, laid out for the client's 648x352 browser box. Everything that
// comes from the query or the bank is escaped.

// The answer to `question` (as decoded from the request): the best match prominent with a few
// runners-up, or a "no match" page when the best match is not confident.
std::string answer_page(std::string_view question, const lookup_result& result);

// What the client shows when its question box was empty.
std::string empty_question_page();

// A request the service cannot answer: the status and why, in words for the user.
std::string error_page(int status, std::string_view message);

}  // namespace chati::service::http
