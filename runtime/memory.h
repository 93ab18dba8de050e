#pragma once

#include <cstddef>

namespace runtime {

// A new block of exactly `bytes` bytes. Never returns empty-handed: when the memory cannot be had
// the program ends through the run-time error report.
void* allocate(std::size_t bytes);

// Gives a block from `allocate` back. Null, and references into the program's constant block, are
// ignored.
void release(void* block);

// Test switch: the `nth` call to `allocate` from now on fails (1 = the next one); 0 turns it off.
void fail_allocation_at(unsigned nth);

}  // namespace runtime
