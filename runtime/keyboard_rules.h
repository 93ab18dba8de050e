#pragma once

#include <vector>

#include "runtime/form_runtime.h"

namespace runtime {

class element;
struct live_window;

// The controls that Tab visits, in order: those that exist, are visible and enabled, are tab
// stops and may take the focus, by tab order key and, at equal keys, from the last record to
// the first. The first of them gets the focus when the window gets it.
std::vector<element*> tab_cycle(const live_window& window);

// Gives the focus to the first control of the tab cycle.
void focus_first_control(window_number window);

// Applies the window's keyboard rules to every key press before it is dispatched: the page gets
// keys first while it has the focus; Tab and Shift+Tab follow the tab cycle; Enter presses a
// default button (or moves on, or does nothing); plain Esc closes the window; F1 opens no help.
void attach_keyboard_rules(window_number window);

}  // namespace runtime
