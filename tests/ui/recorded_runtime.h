#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// What the handler did through the runtime, in order.
struct recorded_runtime {
  std::optional<std::string> edit_box_content;  // nullopt: the box is empty (reads as null)
  std::vector<std::string> calls;                // "read", "allocate N", "release ...", "write"
  std::vector<std::string> addresses_written;
  std::size_t live_blocks = 0;

  static recorded_runtime& instance();
  void reset();
};
