#pragma once

#include <vector>

#include "runtime/form_runtime.h"

namespace runtime {

// The routines to run at the end of a normal shutdown, in registration order, each at most once.
class exit_list {
 public:
  void add(routine r);
  // Runs every routine once, in order, then empties the list.
  void run_and_clear();
  // Empties the list without running anything (after a run-time error report).
  void clear() { routines_.clear(); }
  std::size_t size() const { return routines_.size(); }

 private:
  std::vector<routine> routines_;
};

}  // namespace runtime
