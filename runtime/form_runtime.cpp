#include "runtime/form_runtime.h"

#include <wx/app.h>
#include <wx/window.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "runtime/control_kind.h"
#include "runtime/element.h"
#include "runtime/error_report.h"
#include "runtime/events.h"
#include "runtime/keyboard_rules.h"
#include "runtime/runtime_state.h"
#include "runtime/window.h"

namespace runtime {

runtime_state& state() {
  static runtime_state s;
  return s;
}

namespace {

// The program's folder becomes the current directory, so that it finds what lies beside it
// wherever it was started from.
void enter_program_folder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || !exe.has_parent_path()) return;
  std::filesystem::current_path(exe.parent_path(), ec);
}

bool layout_versions_fit(const window_record& w) {
  auto fits = [](const element_record& r) {
    const control_kind* kind = find_control_kind(r.kind);
    return kind && (!r.settings || r.settings->layout_version <= kind->highest_layout_version);
  };
  if (!fits(w.self)) return false;
  for (const auto& c : w.controls)
    if (!fits(c)) return false;
  return true;
}

[[noreturn]] void window_load_failed(window_number number) {
  run_time_error_report("载入启动窗口失败", number, 0);
}

}  // namespace

void initialise_form_runtime(const program_image& image) {
  runtime_state& s = state();
  s.image = image;
  enter_program_folder();
  try {
    s.windows.set_form(read_form_description(image.form_data, image.routines));
  } catch (const form_data_error& e) {
    std::fprintf(stderr, "form data: %s\n", e.what());
    run_time_error_report("载入窗口模板数据段出错!", 0, 0);
  }
}

void register_exit_routine(routine exit_routine) { state().exits.add(exit_routine); }

void load_window(window_number number) {
  runtime_state& s = state();
  const window_record* record = s.windows.form().find(number);
  if (!record || !layout_versions_fit(*record)) window_load_failed(number);
  if (live_window* already = s.windows.find_live(number); already && !already->closing) {
    already->window->widget()->Raise();
    return;
  }
  s.windows.erase_live(number);

  live_window& live = s.windows.add_live(*record);
  live.window = window_kind.create(nullptr, record->self, 0);
  if (!live.window) {
    s.windows.erase_live(number);
    window_load_failed(number);
  }
  wxWindow* frame = live.window->widget();

  // Controls are made from the last record to the first, with child identifiers 100, 110, ...
  const std::size_t n = record->controls.size();
  live.controls.resize(n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t i = n - 1 - k;
    const element_record& r = record->controls[i];
    live.controls[i] = find_control_kind(r.kind)->create(frame, r, static_cast<int>(100 + 10 * k));
    if (!live.controls[i]) {
      live.controls.clear();
      s.windows.erase_live(number);
      frame->Destroy();
      window_load_failed(number);
    }
  }
  // Stacked in record order, the first record on top.
  for (std::size_t k = 0; k < n; ++k) live.controls[n - 1 - k]->widget()->Raise();
  for (const auto& c : live.controls) c->widget()->Show(c->integer(property_visible) != 0);

  attach_keyboard_rules(number);

  raise_event(record->self, 0);  // created: the window is still hidden, its controls all exist
  raise_event(record->self, 3);
  raise_event(record->self, 4);
  if (s.shutdown_mark) return;

  static_cast<window_element&>(*live.window).show_on_screen();
  focus_first_control(number);
}

void run_message_loop() {
  runtime_state& s = state();
  s.loop_entered = true;
  if (!s.windows.any_live() || s.shutdown_mark) return;
  wxTheApp->MainLoop();
}

void shutdown() {
  runtime_state& s = state();
  s.shutdown_mark = true;
  for (window_number n : s.windows.live_numbers()) {
    live_window* w = s.windows.find_live(n);
    if (w && !w->closing && w->window) w->window->widget()->Destroy();
  }
  s.windows.clear();
  s.exits.run_and_clear();
}

}  // namespace runtime
