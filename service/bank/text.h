#pragma once

#include <string>
#include <string_view>

namespace chati::service {

// Code points of UTF-8 text; a byte that does not start a valid sequence becomes U+FFFD.
std::u32string decode_utf8(std::string_view utf8);
// The same, appended to `out`.
void append_decoded_utf8(std::u32string& out, std::string_view utf8);

void append_utf8(std::string& out, char32_t c);
std::string encode_utf8(std::u32string_view text);

}  // namespace chati::service
