#include "runtime/exit_list.h"

#include <algorithm>

namespace runtime {

void exit_list::add(routine r) {
  if (r && std::find(routines_.begin(), routines_.end(), r) == routines_.end())
    routines_.push_back(r);
}

void exit_list::run_and_clear() {
  // Taken out first so that a routine registering another cannot make the list run forever.
  std::vector<routine> to_run;
  to_run.swap(routines_);
  for (routine r : to_run) r();
}

}  // namespace runtime
