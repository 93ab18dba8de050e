#include "runtime/exit_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> ran;
void first() { ran.push_back(1); }
void second() { ran.push_back(2); }

TEST(ExitList, RunsEachRoutineOnceInRegistrationOrderThenEmpties) {
  ran.clear();
  runtime::exit_list list;
  list.add(first);
  list.add(second);
  list.add(first);  // already there
  EXPECT_EQ(list.size(), 2u);
  list.run_and_clear();
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
  list.run_and_clear();
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST(ExitList, ClearedAfterAnErrorReportRunsNothing) {
  ran.clear();
  runtime::exit_list list;
  list.add(first);
  list.clear();
  list.run_and_clear();
  EXPECT_TRUE(ran.empty());
}

}  // namespace
