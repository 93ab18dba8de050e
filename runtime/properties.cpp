#include "runtime/properties.h"

#include "runtime/element.h"
#include "runtime/runtime_state.h"

namespace runtime {

namespace {

element* find_element(window_number window, control_number control) {
  live_window* w = state().windows.find_live(window);
  return w && !w->closing ? w->find(control) : nullptr;
}

}  // namespace

property_value read_property(window_number window, control_number control, property_index index,
                             int /*element_index: this program's properties have no elements*/) {
  const element* e = find_element(window, control);
  return e ? e->read(index) : property_value{};
}

void write_property(window_number window, control_number control, property_index index,
                    int /*element_index*/, const property_value& value) {
  if (element* e = find_element(window, control)) e->write(index, value);
}

}  // namespace runtime
