#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/form_runtime.h"
#include "runtime/setting.h"

namespace runtime {

// The data cannot be read as a form description; the message says where and why.
class form_data_error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct settings_block {
  std::uint32_t layout_version = 0;
  std::vector<setting_value> values;  // in the order stored; each names a setting of the kind
};

struct event_binding {
  int event = 0;
  routine handler = nullptr;
};

// One element of a window: the window itself or one of its controls.
struct element_record {
  std::string kind;  // "Window", "EditBox", "Button", "TransLabel", "HtmlViewer"
  std::string name;  // may be empty (the window has none)
  std::uint32_t number = 0;
  int left = 0, top = 0, width = 0, height = 0;
  bool visible = true;
  bool disabled = false;
  bool tab_stop = false;
  int tab_order_key = 0;
  std::optional<settings_block> settings;  // absent: every setting has the kind's default
  std::vector<event_binding> events;

  routine handler_for(int event) const;
};

struct window_record {
  element_record self;                    // number: the window number
  std::vector<element_record> controls;   // in record order
};

struct form_description {
  std::vector<window_record> windows;
  const window_record* find(std::uint32_t window_number) const;
};

// Parses and checks form data (XML). Handler references are indices into `routines`, -1 for none.
// Throws form_data_error when anything cannot be read: malformed XML, an unknown element kind or
// setting, a value of the wrong type, a missing attribute, a duplicate number or a handler
// reference outside the table. Layout versions are checked only when a window is loaded.
form_description read_form_description(std::string_view data, std::span<const routine> routines);

}  // namespace runtime
