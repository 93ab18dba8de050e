#include "runtime/memory.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/error_report.h"
#include "runtime/runtime_state.h"

namespace runtime {

namespace {

unsigned allocations_until_failure = 0;  // 0: no failure armed

bool injected_failure() {
  if (allocations_until_failure == 0) return false;
  return --allocations_until_failure == 0;
}

}  // namespace

void* allocate(std::size_t bytes) {
  void* block = injected_failure() ? nullptr : std::malloc(bytes == 0 ? 1 : bytes);
  if (!block) {
    char message[64];
    std::snprintf(message, sizeof message, "分配 %zu 字节内存失败!", bytes);
    run_time_error_report(message, 0, 0);
  }
  return block;
}

void release(void* block) {
  if (!block) return;
  const auto constants = state().image.constant_block;
  const char* p = static_cast<const char*>(block);
  if (!constants.empty() && p >= constants.data() && p < constants.data() + constants.size())
    return;
  std::free(block);
}

void fail_allocation_at(unsigned nth) { allocations_until_failure = nth; }

}  // namespace runtime
