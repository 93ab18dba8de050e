#include "runtime/element.h"

#include <wx/window.h>

#include "runtime/text_encoding.h"

namespace runtime {

element::element(const element_record& record, const control_kind& kind)
    : record_(record), kind_(kind) {
  values_[property_left] = std::int64_t{record.left};
  values_[property_top] = std::int64_t{record.top};
  values_[property_width] = std::int64_t{record.width};
  values_[property_height] = std::int64_t{record.height};
  values_[property_tag] = wxString();
  values_[property_visible] = std::int64_t{record.visible};
  values_[property_disabled] = std::int64_t{record.disabled};
  values_[property_mouse_pointer] = std::int64_t{0};
  // The kind's defaults first, then what the form data sets.
  const auto keep = [this](const setting_value& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v.value))
      values_[v.index] = *i;
    else
      values_[v.index] = wxString::FromUTF8(std::get<std::string>(v.value));
  };
  for (const setting_spec& spec : kind.settings) {
    setting_value v;
    parse_setting(spec, spec.default_value, v);
    keep(v);
  }
  if (record.settings)
    for (const setting_value& v : record.settings->values) keep(v);
}

std::int64_t element::integer(property_index index) const {
  stored live;
  if (read_live(index, live)) return std::get<std::int64_t>(live);
  const auto it = values_.find(index);
  if (it == values_.end()) return 0;
  const auto* i = std::get_if<std::int64_t>(&it->second);
  return i ? *i : 0;
}

wxString element::text(property_index index) const {
  stored live;
  if (read_live(index, live)) return std::get<wxString>(live);
  const auto it = values_.find(index);
  if (it == values_.end()) return wxString();
  const auto* s = std::get_if<wxString>(&it->second);
  return s ? *s : wxString();
}

property_value element::read(property_index index) const {
  const auto it = values_.find(index);
  if (it == values_.end()) return property_value::of_integer(0);
  if (std::holds_alternative<wxString>(it->second))
    return property_value::of_text(text_from_wx(text(index)));
  return property_value::of_integer(integer(index));
}

void element::write(property_index index, const property_value& value) {
  const auto it = values_.find(index);
  if (it == values_.end()) return;
  if (std::holds_alternative<wxString>(it->second))
    it->second = value.kind == property_value::type::text ? text_to_wx(value.text) : wxString();
  else
    it->second = value.kind == property_value::type::integer ? value.integer : 0;

  wxWindow* w = widget();
  switch (index) {
    case property_left:
    case property_top:
    case property_width:
    case property_height:
      place();
      break;
    case property_visible:
      if (w) w->Show(integer(property_visible) != 0);
      break;
    case property_disabled:
      if (w) w->Enable(integer(property_disabled) == 0);
      break;
    default:
      apply(index);
  }
}

void element::take_focus() {
  if (wxWindow* w = widget()) w->SetFocus();
}

void element::place() {
  if (wxWindow* w = widget())
    w->SetSize(static_cast<int>(integer(property_left)), static_cast<int>(integer(property_top)),
               static_cast<int>(integer(property_width)),
               static_cast<int>(integer(property_height)));
}

}  // namespace runtime
