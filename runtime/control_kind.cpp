#include "runtime/control_kind.h"

namespace runtime {

const setting_spec* control_kind::find_setting(std::string_view setting_name) const {
  for (const auto& s : settings)
    if (s.name == setting_name) return &s;
  return nullptr;
}

const setting_spec* control_kind::find_setting(int index) const {
  for (const auto& s : settings)
    if (s.index == index) return &s;
  return nullptr;
}

const control_kind* find_control_kind(std::string_view name) {
  for (const control_kind* kind :
       {&window_kind, &edit_box_kind, &button_kind, &transparent_label_kind, &html_browser_box_kind})
    if (kind->name == name) return kind;
  return nullptr;
}

}  // namespace runtime
