#include "runtime/memory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "runtime/form_runtime.h"
#include "runtime/runtime_state.h"

namespace {

TEST(Memory, ReleaseIgnoresNullAndTheConstantBlock) {
  static const char constants[] = "http://host/tmbx/qutimu.php?w=";
  runtime::state().image.constant_block = constants;
  runtime::release(nullptr);
  runtime::release(const_cast<char*>(constants));
  runtime::release(const_cast<char*>(constants + 5));
  void* block = runtime::allocate(8);
  std::memset(block, 0, 8);
  runtime::release(block);
}

TEST(MemoryDeathTest, FailedAllocationEndsInTheReportWithStatus255) {
  for (unsigned nth : {1u, 3u}) {
    EXPECT_EXIT(
        {
          runtime::fail_allocation_at(nth);
          for (unsigned i = 1; i < nth; ++i) runtime::release(runtime::allocate(16));
          runtime::allocate(1234);
        },
        testing::ExitedWithCode(255), "运行时出错!\n错误信息：分配 1234 字节内存失败!");
  }
}

}  // namespace
