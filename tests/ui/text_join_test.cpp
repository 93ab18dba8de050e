#include "ui/text_join.h"

#include <gtest/gtest.h>

#include <string>

#include "recorded_runtime.h"
#include "runtime/memory.h"

namespace {

TEST(TextLength, CountsBytesBeforeTheZeroAndNullIsEmpty) {
  EXPECT_EQ(ui::text_length(nullptr), 0u);
  EXPECT_EQ(ui::text_length(""), 0u);
  EXPECT_EQ(ui::text_length("\xD6\xD0"), 2u);
}

TEST(TextJoin, OneAllocationOfTheFinalSize) {
  struct row {
    std::vector<const char*> texts;
    std::string joined;
  } rows[] = {
      {{"ab", "cd"}, "abcd"},
      {{"ab", nullptr}, "ab"},
      {{nullptr, nullptr}, ""},
      {{"x"}, "x"},
      {{"a", "", "b", nullptr, "c", "d", "e", "f", "g", "h"}, "abcdefgh"},  // more than kept on the stack
  };
  for (const auto& r : rows) {
    auto& rec = recorded_runtime::instance();
    rec.reset();
    char* joined = ui::text_join(r.texts.size(), r.texts.data());
    ASSERT_NE(joined, nullptr);
    EXPECT_EQ(std::string(joined), r.joined);
    EXPECT_EQ(rec.calls, std::vector<std::string>{"allocate " + std::to_string(r.joined.size() + 1)});
    runtime::release(joined);
  }
}

}  // namespace
