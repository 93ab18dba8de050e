#include <wx/button.h>

#include "runtime/button.h"
#include "runtime/events.h"

namespace runtime {

namespace {

enum button_setting : property_index {
  button_kind_setting = 9,
  caption = 10,
  horizontal_alignment = 11,
  vertical_alignment = 12,
};

constexpr setting_spec button_settings[] = {
    {8, "picture", setting_type::text, ""},
    {9, "button_kind", setting_type::integer, "0"},
    {10, "caption", setting_type::text, ""},
    {11, "horizontal_alignment", setting_type::integer, "1"},
    {12, "vertical_alignment", setting_type::integer, "1"},
    {13, "font", setting_type::text, ""},
};

long alignment_style(std::int64_t horizontal, std::int64_t vertical) {
  long style = 0;
  if (horizontal == 0) style |= wxBU_LEFT;
  if (horizontal == 2) style |= wxBU_RIGHT;
  if (vertical == 0) style |= wxBU_TOP;
  if (vertical == 2) style |= wxBU_BOTTOM;
  return style;
}

std::unique_ptr<element> create_button(wxWindow* parent, const element_record& record,
                                       int child_id) {
  return std::make_unique<button>(parent, record, child_id);
}

}  // namespace

button::button(wxWindow* parent, const element_record& record, int child_id)
    : element(record, button_kind) {
  ctrl_ = new wxButton(parent, child_id, text(caption), wxPoint(record.left, record.top),
                       wxSize(record.width, record.height),
                       alignment_style(integer(horizontal_alignment), integer(vertical_alignment)));
  if (record.disabled) ctrl_->Disable();
  // The element is released only after its window and controls are destroyed, so `this` outlives
  // every event the toolkit delivers to the button.
  ctrl_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { raise_event(this->record(), 0); });
}

wxWindow* button::widget() const { return ctrl_; }

bool button::is_default() const { return integer(button_kind_setting) == 1; }

void button::click() {
  wxCommandEvent event(wxEVT_BUTTON, ctrl_->GetId());
  event.SetEventObject(ctrl_);
  ctrl_->ProcessWindowEvent(event);
}

void button::apply(property_index index) {
  if (index == caption) ctrl_->SetLabel(text(caption));
}

const control_kind button_kind{"Button", 1, button_settings, true, create_button};

}  // namespace runtime
