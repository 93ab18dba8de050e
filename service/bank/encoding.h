#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace chati::service {

bool is_valid_utf8(std::string_view bytes);

// Text that arrives as bytes is UTF-8 when it is valid UTF-8, otherwise GB18030 (a superset of
// GBK). Returns the text as UTF-8, or nothing when the bytes are neither.
std::optional<std::string> decode_utf8_or_gb18030(std::string_view bytes);

}  // namespace chati::service
