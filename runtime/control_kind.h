#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "runtime/setting.h"

class wxWindow;

namespace runtime {

class element;
struct element_record;

// What the runtime knows about one kind of element: its settings and how to make a live one.
struct control_kind {
  std::string_view name;                   // as written in the form data
  std::uint32_t highest_layout_version;    // a settings block above this cannot be loaded
  std::span<const setting_spec> settings;  // the kind's own settings, property index 8 and up
  bool may_take_focus;
  // Makes the live element as a child of `parent` (null for a window) with the child identifier
  // `child_id`; returns null when it cannot be made.
  std::unique_ptr<element> (*create)(wxWindow* parent, const element_record& record, int child_id);

  const setting_spec* find_setting(std::string_view setting_name) const;
  const setting_spec* find_setting(int index) const;
};

const control_kind* find_control_kind(std::string_view name);

extern const control_kind window_kind;
extern const control_kind edit_box_kind;
extern const control_kind button_kind;
extern const control_kind transparent_label_kind;
extern const control_kind html_browser_box_kind;

}  // namespace runtime
