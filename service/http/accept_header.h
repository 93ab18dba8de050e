#pragma once

#include <string_view>

namespace chati::service::http {

// Whether a client's Accept header asks for JSON: it lists application/json with a non-zero
// quality. Browsers never do, so they keep getting the HTML page.
bool accepts_json(std::string_view accept);

}  // namespace chati::service::http
