#pragma once

#include <functional>

class wxWebView;

namespace runtime {

// The web engine's own widget sits inside the toolkit's wrapper window, and the toolkit neither
// focuses it nor reports focus inside it; these reach it directly.
void focus_web_page(wxWebView* view);
bool web_page_has_focus(const wxWebView* view);

// Calls `observe` with the time stamp and raw key code of every key press coming from the window
// system, before any widget sees it. Keys the engine hands back unused are not seen here again.
void observe_key_presses(std::function<void(long timestamp, int raw_key_code)> observe);

}  // namespace runtime
