#include "runtime/window_table.h"

#include "runtime/element.h"

namespace runtime {

element* live_window::find(control_number control) const {
  if (control == 0) return window.get();
  for (const auto& c : controls)
    if (c && c->record().number == control) return c.get();
  return nullptr;
}

live_window& window_table::add_live(const window_record& record) {
  live_window& w = live_[record.self.number];
  w.record = &record;
  return w;
}

live_window* window_table::find_live(window_number window) {
  auto it = live_.find(window);
  return it == live_.end() ? nullptr : &it->second;
}

bool window_table::any_live() const {
  for (const auto& [number, w] : live_)
    if (!w.closing) return true;
  return false;
}

std::vector<window_number> window_table::live_numbers() const {
  std::vector<window_number> numbers;
  for (const auto& [number, w] : live_) numbers.push_back(number);
  return numbers;
}

}  // namespace runtime
