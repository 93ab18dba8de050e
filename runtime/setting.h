#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace runtime {

enum class setting_type { integer, text };

// What a kind of element knows about one of its settings.
struct setting_spec {
  int index;                  // its property index (8 and up)
  std::string_view name;      // as written in the form data
  setting_type type;
  std::string_view default_value;  // as it would be written in the form data
};

// A setting as stored in a form description: integers parsed, texts as UTF-8.
struct setting_value {
  int index = 0;
  std::variant<std::int64_t, std::string> value;
};

// Parses `text` as the setting's type: integers in decimal or 0x hex. Returns false when it
// cannot be read.
bool parse_setting(const setting_spec& spec, std::string_view text, setting_value& out);

}  // namespace runtime
