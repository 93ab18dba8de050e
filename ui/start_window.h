#pragma once

#include <string_view>

#include "runtime/properties.h"

namespace ui {

// The numbers by which the program addresses the start window and its controls.
inline constexpr runtime::window_number start_window = 1375797249;
inline constexpr runtime::control_number 编辑框1 = 369172821;
inline constexpr runtime::control_number 按钮1 = 369172822;
inline constexpr runtime::control_number 透明标签1 = 369172823;
inline constexpr runtime::control_number 超文本浏览框1 = 369172874;

// Property indices the program uses.
inline constexpr runtime::property_index edit_box_content = 8;
inline constexpr runtime::property_index browser_box_address = 11;

// The start window's form description (start_window.form, built into the program).
std::string_view start_window_form();

}  // namespace ui
