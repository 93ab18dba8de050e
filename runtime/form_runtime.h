#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace runtime {

// A routine of the program: no arguments, no result. Handlers and exit routines are routines.
using routine = void (*)();

// Identifiers by which the program addresses its windows and their controls.
using window_number = std::uint32_t;
using control_number = std::uint32_t;

// What the program hands to the form runtime before anything else runs.
struct program_image {
  // The program's routines. A handler reference in the form data is an index into this table;
  // -1 means the event has no handler.
  std::span<const routine> routines;
  // The program's constant data; `release` ignores references into it.
  std::span<const char> constant_block;
  // The form description: the windows, their controls, settings and event bindings.
  std::string_view form_data;
};

// Runs the process: initialises the windowing layer, calls `program_entry` once on the GUI thread,
// runs the shutdown and returns the exit status the program ended with.
int run_process(int argc, char** argv, int (*program_entry)());

// Must come before every other operation: sets the current directory to the program's folder,
// reads and checks the form data and resolves its handler references. Ends the program with the
// run-time error report when the form data cannot be read.
void initialise_form_runtime(const program_image& image);

// Appends `exit_routine` to the exit list unless it is there already; the list runs once at the
// end of a normal shutdown.
void register_exit_routine(routine exit_routine);

// Builds the window and its controls, raises its created event and shows it. Ends the program
// with the run-time error report when the window cannot be loaded.
void load_window(window_number window);

// Pumps events until the last window of the program is gone; returns at once when there is none.
void run_message_loop();

}  // namespace runtime
