#include <wx/textctrl.h>

#include "runtime/colour.h"
#include "runtime/element.h"

namespace runtime {

namespace {

enum edit_box_setting : property_index {
  content = 8,
  text_colour = 10,
  background_colour = 11,
  maximum_length = 14,
  selection_start = 24,
  selection_length = 25,
  selected_text = 26,
};

constexpr setting_spec edit_box_settings[] = {
    {8, "content", setting_type::text, ""},
    {9, "border", setting_type::integer, "1"},
    {10, "text_colour", setting_type::integer, "0"},
    {11, "background_colour", setting_type::integer, "0xFFFFFF"},
    {12, "font", setting_type::text, ""},
    {13, "hide_selection", setting_type::integer, "1"},
    {14, "maximum_length", setting_type::integer, "0"},
    {15, "multi_line", setting_type::integer, "0"},
    {16, "scroll_bars", setting_type::integer, "0"},
    {17, "horizontal_alignment", setting_type::integer, "0"},
    {18, "input_mode", setting_type::integer, "0"},
    {19, "password_character", setting_type::text, "*"},
    {20, "case_conversion", setting_type::integer, "0"},
    {21, "spin_mode", setting_type::integer, "0"},
    {22, "spin_minimum", setting_type::integer, "0"},
    {23, "spin_maximum", setting_type::integer, "100"},
    {24, "selection_start", setting_type::integer, "0"},
    {25, "selection_length", setting_type::integer, "0"},
    {26, "selected_text", setting_type::text, ""},
    {27, "data_source", setting_type::text, ""},
    {28, "data_column", setting_type::text, ""},
};

long border_style(std::int64_t border) {
  switch (border) {
    case 0:
      return wxBORDER_NONE;
    case 2:
      return wxBORDER_RAISED;
    case 3:
    case 5:
      return wxBORDER_SIMPLE;
    default:
      return wxBORDER_SUNKEN;
  }
}

// A single-line (or multi-line) text field. The toolkit's entry keeps its one line in the vertical
// middle of the box, as the form expects.
class edit_box : public element {
 public:
  edit_box(wxWindow* parent, const element_record& record, int child_id)
      : element(record, edit_box_kind) {
    long style = border_style(integer(9));
    if (integer(15)) style |= wxTE_MULTILINE;
    if (!integer(13)) style |= wxTE_NOHIDESEL;
    if (integer(18) == 1) style |= wxTE_PASSWORD;
    if (integer(17) == 1) style |= wxTE_CENTRE;
    if (integer(17) == 2) style |= wxTE_RIGHT;
    ctrl_ = new wxTextCtrl(parent, child_id, text(content), wxPoint(record.left, record.top),
                           wxSize(record.width, record.height), style);
    if (record.disabled) ctrl_->Disable();
    ctrl_->SetForegroundColour(colour_from_setting(integer(text_colour)));
    ctrl_->SetBackgroundColour(colour_from_setting(integer(background_colour)));
    if (integer(maximum_length) > 0) ctrl_->SetMaxLength(integer(maximum_length));
    ctrl_->SetInsertionPoint(0);
  }

  wxWindow* widget() const override { return ctrl_; }

 protected:
  bool read_live(property_index index, stored& out) const override {
    if (!ctrl_) return false;  // still being made: the stored values hold
    long from = 0, to = 0;
    switch (index) {
      case content:
        out = ctrl_->GetValue();
        return true;
      case selection_start:
        ctrl_->GetSelection(&from, &to);
        out = std::int64_t{from};
        return true;
      case selection_length:
        ctrl_->GetSelection(&from, &to);
        out = std::int64_t{to - from};
        return true;
      case selected_text:
        out = ctrl_->GetStringSelection();
        return true;
      default:
        return false;
    }
  }

  void apply(property_index index) override {
    switch (index) {
      case content:
        ctrl_->ChangeValue(text(content));
        break;
      case text_colour:
        ctrl_->SetForegroundColour(colour_from_setting(integer(text_colour)));
        break;
      case background_colour:
        ctrl_->SetBackgroundColour(colour_from_setting(integer(background_colour)));
        break;
      case maximum_length:
        ctrl_->SetMaxLength(std::max<std::int64_t>(0, integer(maximum_length)));
        break;
      case selection_start:
      case selection_length: {
        const long from = static_cast<long>(integer(selection_start));
        ctrl_->SetSelection(from, from + static_cast<long>(integer(selection_length)));
        break;
      }
      default:
        break;
    }
  }

 private:
  wxTextCtrl* ctrl_ = nullptr;
};

std::unique_ptr<element> create_edit_box(wxWindow* parent, const element_record& record,
                                         int child_id) {
  return std::make_unique<edit_box>(parent, record, child_id);
}

}  // namespace

const control_kind edit_box_kind{"EditBox", 2, edit_box_settings, true, create_edit_box};

}  // namespace runtime
