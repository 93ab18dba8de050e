// The toolkit's floor for the client's start-up benchmark: a bare frame of the client's size
// holding one wxWebView, in the client's place, that loads about:blank. It prints the monotonic
// time of its first page load (the clock Python's time.monotonic() reads), so the benchmark can
// check the load time it observes from outside against the program's own. Each line read from
// standard input is loaded as an address, so the memory benchmark can put it through the same
// loads as the program.
#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/webview.h>
#include <wx/wx.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

namespace {

long long monotonic_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

class bare_webview_app : public wxApp {
 public:
  bool OnInit() override {
    auto* frame =
        new wxFrame(nullptr, wxID_ANY, "bare webview", wxDefaultPosition, wxSize(670, 437));
    // A frame stretches a lone child over its client area: the panel takes that, the view keeps
    // the client's place and size.
    auto* panel = new wxPanel(frame);
    auto* view = wxWebView::New(panel, wxID_ANY, "about:blank", wxPoint(8, 48), wxSize(648, 352));
    if (!view) return false;
    view->Bind(wxEVT_WEBVIEW_LOADED, [this](wxWebViewEvent&) {
      if (reported_) return;
      reported_ = true;
      std::printf("loaded %lld\n", monotonic_ns());
      std::fflush(stdout);
    });
    frame->Centre();
    frame->Show();
    std::thread([this, view] {
      std::string address;
      while (std::getline(std::cin, address)) {
        CallAfter([view, address] { view->LoadURL(wxString::FromUTF8(address)); });
      }
    }).detach();
    return true;
  }

 private:
  bool reported_ = false;
};

}  // namespace

wxIMPLEMENT_APP(bare_webview_app);
