#include "runtime/window.h"

#include <wx/app.h>
#include <wx/display.h>
#include <wx/frame.h>
#include <wx/settings.h>

#include "runtime/colour.h"
#include "runtime/runtime_state.h"

namespace runtime {

namespace {

enum window_setting : property_index {
  title = 8,
  border_style = 9,
  background_colour = 10,
  control_box = 15,
  maximize_button = 16,
  minimize_button = 17,
  start_position = 18,
  enter_moves_focus_setting = 21,
  escape_closes_setting = 22,
  f1_opens_help_setting = 23,
  shown_in_task_bar = 26,
  always_on_top = 29,
};

constexpr setting_spec window_settings[] = {
    {8, "title", setting_type::text, ""},
    {9, "border_style", setting_type::integer, "2"},
    {10, "background_colour", setting_type::integer, "0xFF000000"},
    {11, "background_picture", setting_type::text, ""},
    {12, "picture_mode", setting_type::integer, "1"},
    {13, "background_music", setting_type::text, ""},
    {14, "music_play_mode", setting_type::integer, "0"},
    {15, "control_box", setting_type::integer, "1"},
    {16, "maximize_button", setting_type::integer, "0"},
    {17, "minimize_button", setting_type::integer, "1"},
    {18, "start_position", setting_type::integer, "1"},
    {19, "movable", setting_type::integer, "1"},
    {20, "icon", setting_type::text, ""},
    {21, "enter_moves_focus", setting_type::integer, "0"},
    {22, "escape_closes", setting_type::integer, "0"},
    {23, "f1_opens_help", setting_type::integer, "0"},
    {24, "help_file", setting_type::text, ""},
    {25, "help_context", setting_type::integer, "0"},
    {26, "shown_in_task_bar", setting_type::integer, "1"},
    {27, "drag_to_move", setting_type::integer, "0"},
    {28, "window_shape", setting_type::integer, "0"},
    {29, "always_on_top", setting_type::integer, "0"},
    {30, "keep_title_active", setting_type::integer, "0"},
    {31, "window_class_name", setting_type::text, ""},
};

long frame_style(const element& e) {
  long style = wxCLIP_CHILDREN;
  switch (e.integer(border_style)) {
    case 0:
      style |= wxBORDER_NONE;
      break;
    case 1:
    case 5:
      style |= wxCAPTION | wxRESIZE_BORDER;
      break;
    case 3:
      style |= wxCAPTION | wxRESIZE_BORDER | wxFRAME_TOOL_WINDOW;
      break;
    case 4:
      style |= wxCAPTION | wxFRAME_TOOL_WINDOW;
      break;
    default:  // 2 and 6: a fixed frame
      style |= wxCAPTION;
  }
  if (e.integer(control_box)) style |= wxSYSTEM_MENU | wxCLOSE_BOX;
  if (e.integer(maximize_button)) style |= wxMAXIMIZE_BOX;
  if (e.integer(minimize_button)) style |= wxMINIMIZE_BOX;
  if (!e.integer(shown_in_task_bar)) style |= wxFRAME_NO_TASKBAR;
  if (e.integer(always_on_top)) style |= wxSTAY_ON_TOP;
  return style;
}

// Where the window goes: centred on the screen, each division truncating toward zero.
wxPoint centred_position(int width, int height) {
  const wxRect screen = wxDisplay(0u).GetGeometry();
  return {screen.x + (screen.width - width) / 2, screen.y + (screen.height - height) / 2};
}

std::unique_ptr<element> create_window(wxWindow*, const element_record& record, int) {
  // The frame is made hidden; its style comes from the settings, read through a scratch element.
  struct settings_only : element {
    using element::element;
    wxWindow* widget() const override { return nullptr; }
  } settings(record, window_kind);
  auto* frame = new wxFrame(nullptr, wxID_ANY, settings.text(title), wxDefaultPosition,
                            wxSize(record.width, record.height), frame_style(settings));
  auto w = std::make_unique<window_element>(record, frame);
  frame->SetBackgroundColour(
      colour_from_setting(w->integer(background_colour), wxSYS_COLOUR_BTNFACE));

  const window_number number = record.number;
  frame->Bind(wxEVT_DESTROY, [frame, number](wxWindowDestroyEvent& event) {
    event.Skip();
    if (event.GetEventObject() != frame) return;
    runtime_state& s = state();
    live_window* live = s.windows.find_live(number);
    if (!live || live->closing) return;
    // The window's elements outlive this event: its children are destroyed after it.
    live->closing = true;
    wxTheApp->CallAfter([number] {
      runtime_state& st = state();
      st.windows.erase_live(number);
      if (!st.windows.any_live() && st.loop_entered) {
        st.quit_code = 0;
        wxTheApp->ExitMainLoop();
      }
    });
  });
  return w;
}

}  // namespace

const control_kind window_kind{"Window", 6, window_settings, false, create_window};

window_element::window_element(const element_record& record, wxFrame* frame)
    : element(record, window_kind), frame_(frame) {}

wxWindow* window_element::widget() const { return frame_; }

bool window_element::enter_moves_focus() const { return integer(enter_moves_focus_setting) != 0; }
bool window_element::escape_closes() const { return integer(escape_closes_setting) != 0; }
bool window_element::f1_opens_help() const { return integer(f1_opens_help_setting) != 0; }

void window_element::place() {
  const int width = static_cast<int>(integer(property_width));
  const int height = static_cast<int>(integer(property_height));
  wxPoint at(static_cast<int>(integer(property_left)), static_cast<int>(integer(property_top)));
  if (integer(start_position) == 1 && !frame_->IsShown()) at = centred_position(width, height);
  frame_->SetSize(at.x, at.y, width, height);
}

void window_element::show_on_screen() {
  place();
  const std::int64_t how = integer(start_position);
  if (how == 2) frame_->Iconize();
  if (how == 3) frame_->Maximize();
  frame_->Show();
  frame_->Raise();
}

void window_element::apply(property_index index) {
  if (index == title) frame_->SetTitle(text(title));
  if (index == background_colour) {
    frame_->SetBackgroundColour(
        colour_from_setting(integer(background_colour), wxSYS_COLOUR_BTNFACE));
    frame_->Refresh();
  }
}

}  // namespace runtime
