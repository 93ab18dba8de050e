#include "runtime/setting.h"

#include <charconv>
#include <string>

namespace runtime {

namespace {

bool parse_integer(std::string_view text, std::int64_t& out) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  std::uint64_t magnitude = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return false;
  if (magnitude > 0xFFFFFFFFull) return false;  // settings are 32-bit values
  out = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
  return true;
}

}  // namespace

bool parse_setting(const setting_spec& spec, std::string_view text, setting_value& out) {
  out.index = spec.index;
  if (spec.type == setting_type::text) {
    out.value = std::string(text);
    return true;
  }
  std::int64_t v = 0;
  if (!parse_integer(text, v)) return false;
  out.value = v;
  return true;
}

}  // namespace runtime
