#include "encoding.h"

#include <cerrno>
#include <stdexcept>

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

gb18030_decoder::gb18030_decoder() : cd_(iconv_open("UTF-8", "GB18030")) {
  if (cd_ == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error("iconv cannot convert GB18030 to UTF-8 on this system");
  }
}

gb18030_decoder::~gb18030_decoder() { iconv_close(cd_); }

std::optional<std::string> gb18030_decoder::decode(std::string_view bytes) {
  iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  // A GB18030 character is 1, 2 or 4 bytes and becomes 1, 3 or at most 4 UTF-8 bytes, so twice
  // the input is always enough.
  std::string out(bytes.size() * 2 + 4, '\0');
  char* in_ptr = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  char* out_ptr = out.data();
  std::size_t out_left = out.size();
  const std::size_t rc = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
  if (rc == static_cast<std::size_t>(-1) || in_left != 0) return std::nullopt;
  out.resize(out.size() - out_left);
  return out;
}

std::optional<std::string> decode_utf8_or_gb18030(std::string_view bytes) {
  if (is_valid_utf8(bytes)) return std::string(bytes);
  try {
    thread_local gb18030_decoder decoder;
    return decoder.decode(bytes);
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
}

}  // namespace chati::service
