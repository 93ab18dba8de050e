// Preloaded into a program under benchmark (LD_PRELOAD) to report, without changing the program,
// when its web view is asked to load an address and when a load finishes: it wraps
// webkit_web_view_load_uri, hooks the engine's "load-changed" signal of each view it sees, and
// writes "requested <monotonic ns> <uri>" and "loaded <monotonic ns> <uri>" lines to the file
// descriptor named by CHATI_BENCH_EVENT_FD. The clock is the one Python's time.monotonic() reads.
// The engine's headers are not installed (only its library), so the two entry points used are
// declared here with opaque types.
#include <dlfcn.h>
#include <glib-object.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

extern "C" {

struct _WebKitWebView;
using WebKitWebView = _WebKitWebView;

const gchar* webkit_web_view_get_uri(WebKitWebView* view);

}  // extern "C"

namespace {

constexpr int load_finished = 3;  // WEBKIT_LOAD_FINISHED
constexpr const char* observed_key = "chati-bench-load-observer";

void report(const char* what, const char* uri) {
  const char* fd_text = std::getenv("CHATI_BENCH_EVENT_FD");
  if (!fd_text) return;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  char line[512];
  const int length = std::snprintf(line, sizeof line, "%s %lld %s\n", what,
                                   static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec,
                                   uri ? uri : "");
  if (length <= 0) return;
  // A longer address is cut short; the newline is kept so that lines stay apart.
  const auto size = std::min(static_cast<size_t>(length), sizeof line - 1);
  line[size - 1] = '\n';
  [[maybe_unused]] const ssize_t written = write(std::atoi(fd_text), line, size);
}

void report_load_finished(WebKitWebView* view, int load_event, gpointer) {
  if (load_event == load_finished) report("loaded", webkit_web_view_get_uri(view));
}

// The engine's helper processes are started from this one: keep the observer out of them.
[[gnu::constructor]] void keep_out_of_child_processes() { unsetenv("LD_PRELOAD"); }

}  // namespace

extern "C" void webkit_web_view_load_uri(WebKitWebView* view, const gchar* uri) {
  using load_uri_fn = void (*)(WebKitWebView*, const gchar*);
  static const auto real =
      reinterpret_cast<load_uri_fn>(dlsym(RTLD_NEXT, "webkit_web_view_load_uri"));
  if (!g_object_get_data(G_OBJECT(view), observed_key)) {
    g_object_set_data(G_OBJECT(view), observed_key, GINT_TO_POINTER(1));
    g_signal_connect(view, "load-changed", G_CALLBACK(report_load_finished), nullptr);
  }
  report("requested", uri);
  real(view, uri);
}
