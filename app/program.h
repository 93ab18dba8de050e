#pragma once

#include "runtime/form_runtime.h"

namespace app {

// What the program hands to the form runtime: its routine table, constant block and form data.
runtime::program_image& program();

// The whole life of the program, message loop included; always returns 0.
int program_entry();

void initialisation_routine();
int startup_routine();
void scratch_routine();
void exit_routine();
void window_created_handler();

}  // namespace app
