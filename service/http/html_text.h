#pragma once

#include <string>
#include <string_view>

namespace chati::service::http {

// Makes any bytes safe as HTML text or attribute value: markup characters become entities,
// bytes that are not valid UTF-8 and control characters (which HTML forbids, NUL included)
// become U+FFFD, so that the page stays valid UTF-8 whatever the query or the bank holds.
std::string html_escape(std::string_view bytes);

}  // namespace chati::service::http
