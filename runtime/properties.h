#pragma once

#include <cstdint>

#include "runtime/form_runtime.h"

namespace runtime {

// Index of a property: 0-7 are common to every element, each kind's own start at 8.
using property_index = int;

enum common_property : property_index {
  property_left = 0,
  property_top = 1,
  property_width = 2,
  property_height = 3,
  property_tag = 4,
  property_visible = 5,
  property_disabled = 6,
  property_mouse_pointer = 7,
};

// A property's value. Texts are zero-terminated bytes in the program's multibyte code page
// (GB18030, which holds every GBK text unchanged); a null text is the empty text.
struct property_value {
  enum class type { integer, text };
  type kind = type::integer;
  std::int64_t integer = 0;
  char* text = nullptr;

  static property_value of_integer(std::int64_t v) { return {type::integer, v, nullptr}; }
  static property_value of_text(char* t) { return {type::text, 0, t}; }
};

// Reads a property of a control (`control` 0 addresses the window itself). A text read is a new
// block from `allocate` that belongs to the caller; an empty text reads as null. The element
// index -1 asks for the whole value.
property_value read_property(window_number window, control_number control, property_index index,
                             int element_index);

// Writes a property. The element keeps its own copy of a text, so the caller still owns it.
void write_property(window_number window, control_number control, property_index index,
                    int element_index, const property_value& value);

}  // namespace runtime
