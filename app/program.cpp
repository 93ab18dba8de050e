#include "app/program.h"

#include "ui/query_button.h"
#include "ui/start_window.h"

namespace app {

namespace {

// Handler references in the form data index this table.
constexpr runtime::routine routine_table[] = {
    window_created_handler,           // 0: the start window's created event
    ui::query_button_click_handler,   // 1: the click of 按钮1
};

}  // namespace

runtime::program_image& program() {
  static runtime::program_image image{routine_table, ui::constant_block(),
                                      ui::start_window_form()};
  return image;
}

int program_entry() {
  runtime::initialise_form_runtime(program());
  initialisation_routine();
  runtime::register_exit_routine(exit_routine);
  startup_routine();  // its result is not looked at
  runtime::load_window(ui::start_window);
  runtime::run_message_loop();
  return 0;
}

void initialisation_routine() {}

int startup_routine() {
  scratch_routine();
  return 0;
}

void scratch_routine() {}

void exit_routine() {}

void window_created_handler() {}

}  // namespace app
