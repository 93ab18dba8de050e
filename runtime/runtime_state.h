#pragma once

#include "runtime/exit_list.h"
#include "runtime/form_runtime.h"
#include "runtime/window_table.h"

namespace runtime {

// Everything the form runtime keeps for the life of the process. One GUI thread uses it.
struct runtime_state {
  program_image image;
  window_table windows;
  exit_list exits;
  bool loop_entered = false;  // set when run_message_loop starts; never cleared
  bool shutdown_mark = false;  // set when the shutdown or a run-time error report begins
  int quit_code = 0;           // the code the quit carried
};

runtime_state& state();

// Ends the program's life: marks the shutdown, destroys every window still open, empties the
// window table and runs the exit list once (an error report empties it first).
void shutdown();

}  // namespace runtime
