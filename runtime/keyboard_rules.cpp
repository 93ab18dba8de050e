#include "runtime/keyboard_rules.h"

#include <wx/frame.h>
#include <wx/window.h>

#include <algorithm>

#include "runtime/button.h"
#include "runtime/element.h"
#include "runtime/html_browser_box.h"
#include "runtime/page_focus.h"
#include "runtime/runtime_state.h"
#include "runtime/window.h"

namespace runtime {

namespace {

bool takes_part_in_tab_cycle(const element& e) {
  const wxWindow* w = e.widget();
  return w && e.kind().may_take_focus && e.record().tab_stop && w->IsShown() && w->IsEnabled();
}

// The element whose toolkit window is `w` or holds it.
element* element_holding(const live_window& window, const wxWindow* w) {
  for (; w; w = w->GetParent())
    for (const auto& c : window.controls)
      if (c->widget() == w) return c.get();
  return nullptr;
}

element* next_in_cycle(const live_window& window, const element* from, bool backward) {
  const std::vector<element*> cycle = tab_cycle(window);
  if (cycle.empty()) return nullptr;
  const auto at = std::find(cycle.begin(), cycle.end(), from);
  if (at == cycle.end()) return backward ? cycle.back() : cycle.front();
  const std::size_t i = static_cast<std::size_t>(at - cycle.begin());
  return cycle[backward ? (i + cycle.size() - 1) % cycle.size() : (i + 1) % cycle.size()];
}

// The page gets a key first while it has the focus: the key goes straight to the engine, which
// answers asynchronously. A key it does not use comes back through the window as the same event
// (same time stamp and key), possibly after the engine has already moved the focus out of the
// page (Tab past its last element); such a key is handled as pressed in the page, exactly once.
struct key_offered_to_page {
  long timestamp = -1;
  int raw_key_code = 0;

  bool is(const wxKeyEvent& e) const {
    return timestamp >= 0 && static_cast<long>(e.GetTimestamp()) == timestamp &&
           static_cast<int>(e.GetRawKeyCode()) == raw_key_code;
  }
};

key_offered_to_page offered;

html_browser_box* page_of(const live_window& window) {
  for (const auto& c : window.controls)
    if (auto* page = dynamic_cast<html_browser_box*>(c.get())) return page;
  return nullptr;
}

// Before dispatch: remembers a key press that the page is about to get first.
void note_key_press(long timestamp, int raw_key_code) {
  runtime_state& s = state();
  for (window_number n : s.windows.live_numbers()) {
    const live_window* live = s.windows.find_live(n);
    const html_browser_box* page = live && !live->closing ? page_of(*live) : nullptr;
    if (page && page->page_has_focus()) {
      offered = {timestamp, raw_key_code};
      return;
    }
  }
}

class keyboard_rules {
 public:
  explicit keyboard_rules(window_number window) : window_(window) {}

  void on_key(wxKeyEvent& event) {
    runtime_state& s = state();
    live_window* live = s.windows.find_live(window_);
    if (!live || live->closing || s.shutdown_mark) {
      event.Skip();
      return;
    }
    element* focused = nullptr;
    if (offered.is(event)) {
      focused = page_of(*live);  // the page did not use it
      offered = {};
    } else if (const html_browser_box* page = page_of(*live); page && page->page_has_focus()) {
      event.Skip();  // the page's own key
      return;
    } else {
      focused = element_holding(*live, wxWindow::FindFocus());
    }

    const int key = event.GetKeyCode();
    const int mods = event.GetModifiers();
    if (key == WXK_TAB && (mods == wxMOD_NONE || mods == wxMOD_SHIFT)) {
      if (element* next = next_in_cycle(*live, focused, mods == wxMOD_SHIFT)) next->take_focus();
      return;
    }
    if ((key == WXK_RETURN || key == WXK_NUMPAD_ENTER) && mods == wxMOD_NONE) {
      on_enter(*live, focused);
      return;
    }
    auto& window = static_cast<window_element&>(*live->window);
    if (key == WXK_ESCAPE && mods == wxMOD_NONE && window.escape_closes()) {
      window.widget()->Close();
      return;
    }
    if (key == WXK_F1 && mods == wxMOD_NONE) return;  // no help file to open
    event.Skip();
  }

 private:
  void on_enter(const live_window& live, element* focused) {
    if (auto* b = dynamic_cast<button*>(focused); b && b->is_default()) {
      b->click();
      return;
    }
    if (static_cast<window_element&>(*live.window).enter_moves_focus()) {
      if (element* next = next_in_cycle(live, focused, false)) next->take_focus();
      return;
    }
    for (const auto& c : live.controls)
      if (auto* b = dynamic_cast<button*>(c.get()); b && b->is_default()) {
        b->click();
        return;
      }
  }

  window_number window_;
};

}  // namespace

std::vector<element*> tab_cycle(const live_window& window) {
  std::vector<element*> cycle;
  for (auto it = window.controls.rbegin(); it != window.controls.rend(); ++it)
    if (takes_part_in_tab_cycle(**it)) cycle.push_back(it->get());
  std::stable_sort(cycle.begin(), cycle.end(), [](const element* a, const element* b) {
    return a->record().tab_order_key < b->record().tab_order_key;
  });
  return cycle;
}

void focus_first_control(window_number window) {
  live_window* live = state().windows.find_live(window);
  if (!live) return;
  const std::vector<element*> cycle = tab_cycle(*live);
  if (!cycle.empty()) cycle.front()->take_focus();
}

void attach_keyboard_rules(window_number window) {
  live_window* live = state().windows.find_live(window);
  if (!live) return;
  static bool observing = false;
  if (!observing) {
    observe_key_presses(note_key_press);
    observing = true;
  }
  auto rules = std::make_shared<keyboard_rules>(window);
  live->window->widget()->Bind(wxEVT_CHAR_HOOK,
                               [rules](wxKeyEvent& event) { rules->on_key(event); });
}

}  // namespace runtime
