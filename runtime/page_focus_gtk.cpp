#include "runtime/page_focus.h"

#include <gtk/gtk.h>
#include <wx/webview.h>
#include <wx/weakref.h>

namespace runtime {

namespace {

// The wrapper is a scrolled window (with a viewport) around the engine's view; the view is what
// takes keys.
GtkWidget* engine_widget(const wxWebView* view) {
  GtkWidget* w = view->GetHandle();
  while (w && (GTK_IS_SCROLLED_WINDOW(w) || GTK_IS_VIEWPORT(w))) {
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(w));
    if (!child) break;
    w = child;
  }
  return w;
}

std::function<void(long, int)>& observer() {
  static std::function<void(long, int)> f;
  return f;
}

void filter_events(GdkEvent* event, gpointer) {
  if (event->type == GDK_KEY_PRESS && observer())
    observer()(static_cast<long>(event->key.time), static_cast<int>(event->key.keyval));
  gtk_main_do_event(event);
}

}  // namespace

void focus_web_page(wxWebView* view) {
  view->SetFocus();
  if (GtkWidget* w = engine_widget(view)) gtk_widget_grab_focus(w);
  // The toolkit may apply its own focus change late, onto the wrapper: follow it up.
  wxWeakRef<wxWebView> ref(view);
  view->CallAfter([ref] {
    if (!ref) return;
    GtkWidget* w = engine_widget(ref.get());
    GtkWidget* top = w ? gtk_widget_get_toplevel(w) : nullptr;
    if (top && GTK_IS_WINDOW(top) && gtk_window_get_focus(GTK_WINDOW(top)) == ref->GetHandle())
      gtk_widget_grab_focus(w);
  });
}

bool web_page_has_focus(const wxWebView* view) {
  GtkWidget* page = engine_widget(view);
  if (!page) return false;
  GtkWidget* top = gtk_widget_get_toplevel(page);
  if (!GTK_IS_WINDOW(top)) return false;
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(top));
  return focus && (focus == page || gtk_widget_is_ancestor(focus, page));
}

void observe_key_presses(std::function<void(long, int)> observe) {
  observer() = std::move(observe);
  gdk_event_handler_set(filter_events, nullptr, nullptr);
}

}  // namespace runtime
