#include "runtime/html_browser_box.h"

#include "runtime/page_focus.h"

#include <wx/panel.h>
#include <wx/webview.h>

#include <algorithm>

namespace runtime {

namespace {

enum browser_setting : property_index {
  text_size = 8,
  offline = 9,
  silent = 10,
  address = 11,
  status_text = 12,
  page_title = 13,
};

constexpr setting_spec browser_settings[] = {
    {8, "text_size", setting_type::integer, "2"},
    {9, "offline", setting_type::integer, "0"},
    {10, "silent", setting_type::integer, "0"},
    {11, "address", setting_type::text, ""},
    {12, "status_text", setting_type::text, ""},
    {13, "page_title", setting_type::text, ""},
};

// Text sizes 0 (smallest) to 4 (largest) are the engine's five zoom levels.
wxWebViewZoom zoom_of(std::int64_t text_size) {
  return static_cast<wxWebViewZoom>(std::clamp<std::int64_t>(text_size, 0, 4));
}

std::unique_ptr<element> create_browser_box(wxWindow* parent, const element_record& record,
                                            int child_id) {
  if (!wxWebView::IsBackendAvailable(wxWebViewBackendDefault)) return nullptr;
  auto box = std::make_unique<html_browser_box>(parent, record, child_id);
  if (!box->widget()) return nullptr;
  return box;
}

}  // namespace

html_browser_box::html_browser_box(wxWindow* parent, const element_record& record, int child_id)
    : element(record, html_browser_box_kind) {
  box_ = new wxPanel(parent, child_id, wxPoint(record.left, record.top),
                     wxSize(record.width, record.height), wxBORDER_NONE);
  box_->SetBackgroundColour(*wxWHITE);
  if (record.disabled) box_->Disable();
  // The first navigation goes to the stored address, or to the empty page when there is none.
  const wxString start = text(address);
  view_ = wxWebView::New(box_, wxID_ANY, start.empty() ? wxString("about:blank") : start,
                         wxPoint(0, 0), box_->GetClientSize());
  if (!view_) {
    box_->Destroy();
    box_ = nullptr;
    return;
  }
  box_->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    view_->SetSize(box_->GetClientSize());
    event.Skip();
  });
  box_->Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent&) { focus_web_page(view_); });
  view_->Bind(wxEVT_WEBVIEW_NAVIGATING,
              [this](wxWebViewEvent& event) { status_text_ = event.GetURL(); });
  view_->Bind(wxEVT_WEBVIEW_LOADED, [this](wxWebViewEvent&) { status_text_ = "完成"; });
  view_->Bind(wxEVT_WEBVIEW_ERROR, [this](wxWebViewEvent& event) {
    status_text_ = event.GetString();
  });
  // Offline and silent modes are off (the engine's normal working); the text size is its zoom.
  view_->SetZoom(zoom_of(integer(text_size)));
}

wxWindow* html_browser_box::widget() const { return box_; }

void html_browser_box::take_focus() { focus_web_page(view_); }

bool html_browser_box::page_has_focus() const { return web_page_has_focus(view_); }

bool html_browser_box::read_live(property_index index, stored& out) const {
  if (!view_) return false;
  if (index == status_text) {
    out = status_text_;
    return true;
  }
  if (index == page_title) {
    out = view_->GetCurrentTitle();
    return true;
  }
  return false;
}

void html_browser_box::apply(property_index index) {
  switch (index) {
    case address:
      // Every write navigates, even to the address already shown; the load goes on in the engine.
      view_->LoadURL(text(address));
      break;
    case text_size:
      view_->SetZoom(zoom_of(integer(text_size)));
      break;
    default:
      break;
  }
}

const control_kind html_browser_box_kind{"HtmlViewer", 1, browser_settings, true,
                                         create_browser_box};

}  // namespace runtime
