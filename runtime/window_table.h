#pragma once

#include <map>
#include <memory>
#include <vector>

#include "runtime/element.h"
#include "runtime/form_description.h"

namespace runtime {

class element;

// A window of the form while it is loaded: its live elements.
struct live_window {
  const window_record* record = nullptr;
  std::unique_ptr<element> window;
  std::vector<std::unique_ptr<element>> controls;  // in record order
  bool closing = false;  // destroyed; its elements are released on the next idle turn

  element* find(control_number control) const;  // 0: the window itself
};

// The windows the form data describes, by window number, and the live ones among them.
class window_table {
 public:
  void set_form(form_description form) { form_ = std::move(form); }
  const form_description& form() const { return form_; }

  live_window& add_live(const window_record& record);
  live_window* find_live(window_number window);
  void erase_live(window_number window) { live_.erase(window); }
  bool any_live() const;
  std::vector<window_number> live_numbers() const;
  void clear() {
    live_.clear();
    form_ = {};
  }

 private:
  form_description form_;
  std::map<window_number, live_window> live_;
};

}  // namespace runtime
