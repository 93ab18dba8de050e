#include "runtime/form_description.h"

#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/xml/xml.h>

#include <charconv>
#include <set>

#include "runtime/control_kind.h"

namespace runtime {

routine element_record::handler_for(int event) const {
  for (const auto& b : events)
    if (b.event == event) return b.handler;
  return nullptr;
}

const window_record* form_description::find(std::uint32_t window_number) const {
  for (const auto& w : windows)
    if (w.self.number == window_number) return &w;
  return nullptr;
}

namespace {

std::string utf8(const wxString& s) { return std::string(s.utf8_str()); }

[[noreturn]] void fail(const wxXmlNode* node, const std::string& why) {
  throw form_data_error("line " + std::to_string(node->GetLineNumber()) + ": " + why);
}

std::string attribute(const wxXmlNode* node, const char* name) {
  wxString value;
  if (!node->GetAttribute(name, &value))
    fail(node, "<" + utf8(node->GetName()) + "> lacks the attribute " + name);
  return utf8(value);
}

template <typename T>
T number_attribute(const wxXmlNode* node, const char* name) {
  const std::string text = attribute(node, name);
  T value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size())
    fail(node, std::string("attribute ") + name + " is not a number: \"" + text + "\"");
  return value;
}

bool flag_attribute(const wxXmlNode* node, const char* name) {
  const int v = number_attribute<int>(node, name);
  if (v != 0 && v != 1) fail(node, std::string("attribute ") + name + " must be 0 or 1");
  return v == 1;
}

settings_block read_settings(const wxXmlNode* node, const control_kind& kind) {
  settings_block block;
  block.layout_version = number_attribute<std::uint32_t>(node, "layout-version");
  std::set<int> seen;
  for (const wxXmlNode* s = node->GetChildren(); s; s = s->GetNext()) {
    if (s->GetType() != wxXML_ELEMENT_NODE) continue;
    if (s->GetName() != "setting") fail(s, "unexpected <" + utf8(s->GetName()) + "> in <settings>");
    const std::string name = attribute(s, "name");
    const setting_spec* spec = kind.find_setting(name);
    if (!spec) fail(s, "kind " + std::string(kind.name) + " has no setting \"" + name + "\"");
    if (!seen.insert(spec->index).second) fail(s, "setting \"" + name + "\" given twice");
    setting_value value;
    if (!parse_setting(*spec, attribute(s, "value"), value))
      fail(s, "setting \"" + name + "\" has an unreadable value");
    block.values.push_back(std::move(value));
  }
  return block;
}

element_record read_element(const wxXmlNode* node, const control_kind& kind,
                            std::span<const routine> routines) {
  element_record r;
  r.kind = std::string(kind.name);
  wxString name;
  if (node->GetAttribute("name", &name)) r.name = utf8(name);
  r.number = number_attribute<std::uint32_t>(node, "number");
  r.left = number_attribute<int>(node, "left");
  r.top = number_attribute<int>(node, "top");
  r.width = number_attribute<int>(node, "width");
  r.height = number_attribute<int>(node, "height");
  r.visible = flag_attribute(node, "visible");
  r.disabled = flag_attribute(node, "disabled");
  r.tab_stop = flag_attribute(node, "tab-stop");
  r.tab_order_key = number_attribute<int>(node, "tab-order");
  if (r.width < 0 || r.height < 0) fail(node, "negative size");
  for (const wxXmlNode* c = node->GetChildren(); c; c = c->GetNext()) {
    if (c->GetType() != wxXML_ELEMENT_NODE) continue;
    if (c->GetName() == "settings") {
      if (r.settings) fail(c, "a second <settings>");
      r.settings = read_settings(c, kind);
    } else if (c->GetName() == "event") {
      const int event = number_attribute<int>(c, "number");
      const int handler = number_attribute<int>(c, "handler");
      if (r.handler_for(event) || event < 0) fail(c, "event bound twice or negative");
      if (handler == -1) continue;
      if (handler < 0 || static_cast<std::size_t>(handler) >= routines.size() ||
          routines[handler] == nullptr)
        fail(c, "handler reference " + std::to_string(handler) + " names no routine");
      r.events.push_back({event, routines[handler]});
    } else if (c->GetName() != "control") {
      fail(c, "unexpected <" + utf8(c->GetName()) + ">");
    }
  }
  return r;
}

}  // namespace

form_description read_form_description(std::string_view data, std::span<const routine> routines) {
  wxXmlDocument doc;
  {
    wxLogNull quiet;  // a parse error is reported by our own exception, not by a log box
    wxMemoryInputStream in(data.data(), data.size());
    if (data.empty() || !doc.Load(in, "UTF-8")) throw form_data_error("not well-formed XML");
  }
  const wxXmlNode* root = doc.GetRoot();
  if (root->GetName() != "form") fail(root, "the root element is not <form>");

  form_description form;
  std::set<std::uint32_t> window_numbers;
  for (const wxXmlNode* w = root->GetChildren(); w; w = w->GetNext()) {
    if (w->GetType() != wxXML_ELEMENT_NODE) continue;
    if (w->GetName() != "window") fail(w, "unexpected <" + utf8(w->GetName()) + "> in <form>");
    window_record window;
    window.self = read_element(w, window_kind, routines);
    if (!window_numbers.insert(window.self.number).second) fail(w, "window number used twice");
    std::set<std::uint32_t> control_numbers;
    for (const wxXmlNode* c = w->GetChildren(); c; c = c->GetNext()) {
      if (c->GetType() != wxXML_ELEMENT_NODE || c->GetName() != "control") continue;
      const std::string kind_name = attribute(c, "kind");
      const control_kind* kind = find_control_kind(kind_name);
      if (!kind || kind == &window_kind) fail(c, "unknown control kind \"" + kind_name + "\"");
      element_record control = read_element(c, *kind, routines);
      if (control.number == 0 || !control_numbers.insert(control.number).second)
        fail(c, "control number 0 or used twice");
      window.controls.push_back(std::move(control));
    }
    form.windows.push_back(std::move(window));
  }
  if (form.windows.empty()) fail(root, "no window");
  return form;
}

}  // namespace runtime
