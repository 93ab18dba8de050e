#include "runtime/keyboard_rules.h"

#include <wx/frame.h>
#include <wx/window.h>

#include <algorithm>

#include "runtime/button.h"
#include "runtime/element.h"
#include "runtime/html_browser_box.h"
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

// The page gets a key first while it has the focus. The engine answers asynchronously: a key it
// does not use comes back through the window as the same event (same time stamp). By then the
// engine may already have moved the focus out of the page (Tab past its last element), so the
// returned key is handled as if it had been pressed in the page.
struct key_offered_to_page {
  long timestamp = -1;
  int key_code = 0;
  int modifiers = 0;
  element* page = nullptr;

  bool is(const wxKeyEvent& e) const {
    return page && static_cast<long>(e.GetTimestamp()) == timestamp &&
           e.GetKeyCode() == key_code && e.GetModifiers() == modifiers;
  }
};

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
    const wxWindow* focus = wxWindow::FindFocus();
    element* focused = element_holding(*live, focus);
    const auto* page = dynamic_cast<html_browser_box*>(focused);

    if (offered_.is(event)) {
      focused = offered_.page;  // the page did not use it
      offered_ = {};
    } else if (page && page->holds(focus)) {
      offered_ = {static_cast<long>(event.GetTimestamp()), event.GetKeyCode(),
                  event.GetModifiers(), focused};
      event.Skip();
      return;
    }

    const int key = event.GetKeyCode();
    const int mods = event.GetModifiers();
    if (key == WXK_TAB && (mods == wxMOD_NONE || mods == wxMOD_SHIFT)) {
      if (element* next = next_in_cycle(*live, focused, mods == wxMOD_SHIFT))
        next->widget()->SetFocus();
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
      if (element* next = next_in_cycle(live, focused, false)) next->widget()->SetFocus();
      return;
    }
    for (const auto& c : live.controls)
      if (auto* b = dynamic_cast<button*>(c.get()); b && b->is_default()) {
        b->click();
        return;
      }
  }

  window_number window_;
  key_offered_to_page offered_;
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
  if (!cycle.empty()) cycle.front()->widget()->SetFocus();
}

void attach_keyboard_rules(window_number window) {
  live_window* live = state().windows.find_live(window);
  if (!live) return;
  auto rules = std::make_shared<keyboard_rules>(window);
  live->window->widget()->Bind(wxEVT_CHAR_HOOK,
                               [rules](wxKeyEvent& event) { rules->on_key(event); });
}

}  // namespace runtime
