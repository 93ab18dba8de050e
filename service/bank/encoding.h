#pragma once

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

namespace chati::service {

bool is_valid_utf8(std::string_view bytes);

// Converts GB18030 (a superset of GBK) to UTF-8 with one iconv descriptor, reused across calls so
// that decoding row after row of a file stays cheap. Not safe for concurrent use.
class gb18030_decoder {
 public:
  gb18030_decoder();
  ~gb18030_decoder();
  gb18030_decoder(const gb18030_decoder&) = delete;
  gb18030_decoder& operator=(const gb18030_decoder&) = delete;

  // The text as UTF-8, or nothing when the bytes are not GB18030.
  std::optional<std::string> decode(std::string_view bytes);

 private:
  iconv_t cd_;
};

// Text that arrives as bytes is UTF-8 when it is valid UTF-8, otherwise GB18030 (a superset of
// GBK). Returns the text as UTF-8, or nothing when the bytes are neither.
std::optional<std::string> decode_utf8_or_gb18030(std::string_view bytes);

}  // namespace chati::service
