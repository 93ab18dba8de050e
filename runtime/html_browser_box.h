#pragma once

#include "runtime/element.h"

class wxPanel;
class wxWebView;

namespace runtime {

// A child window hosting the web view that covers it. Writing `address` (11) navigates, every time;
// `status text` (12) and `page title` (13) are read-only.
class html_browser_box : public element {
 public:
  html_browser_box(wxWindow* parent, const element_record& record, int child_id);
  wxWindow* widget() const override;
  void take_focus() override;
  bool page_has_focus() const;

 protected:
  bool read_live(property_index index, stored& out) const override;
  void apply(property_index index) override;

 private:
  wxPanel* box_;
  wxWebView* view_ = nullptr;
  wxString status_text_;
};

}  // namespace runtime
