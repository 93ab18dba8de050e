#include "encoding.h"

#include <iconv.h>

#include <cerrno>

namespace chati::service {

bool is_valid_utf8(std::string_view bytes) {
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    unsigned lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;   // no overlong forms
      if (c == 0xED) hi = 0x9F;   // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;   // nothing above U+10FFFF
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const auto d = static_cast<unsigned char>(bytes[i + k]);
      if (d < (k == 1 ? lo : 0x80) || d > (k == 1 ? hi : 0xBF)) return false;
    }
    i += len;
  }
  return true;
}

std::optional<std::string> decode_utf8_or_gb18030(std::string_view bytes) {
  if (is_valid_utf8(bytes)) return std::string(bytes);
  iconv_t cd = iconv_open("UTF-8", "GB18030");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  // A GB18030 character is at most 4 bytes and becomes at most 4 UTF-8 bytes; 2-byte ones
  // become 3, so twice the input is always enough.
  std::string out(bytes.size() * 2 + 4, '\0');
  char* in_ptr = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  char* out_ptr = out.data();
  std::size_t out_left = out.size();
  const std::size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  const bool ok = rc != static_cast<std::size_t>(-1) && in_left == 0;
  iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(out.size() - out_left);
  return out;
}

}  // namespace chati::service
