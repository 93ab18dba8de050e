#include "html_text.h"

#include "encoding.h"

namespace chati::service::http {
namespace {

constexpr std::string_view replacement_character = "\xEF\xBF\xBD";

// Length of the UTF-8 sequence its lead byte announces, 0 for a byte that cannot lead one.
std::size_t sequence_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

std::string html_escape(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = sequence_length(c);
    if (length == 0 || i + length > bytes.size() || !is_valid_utf8(bytes.substr(i, length))) {
      out += replacement_character;
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(bytes.substr(i, length));
      i += length;
      continue;
    }
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      case '\t':
      case '\n':
      case '\r': out.push_back(static_cast<char>(c)); break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += replacement_character;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
    ++i;
  }
  return out;
}

}  // namespace chati::service::http
