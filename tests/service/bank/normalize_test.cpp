#include "normalize.h"

#include <gtest/gtest.h>

#include "text.h"

namespace chati::service {
namespace {

struct normalize_case {
  const char* input;
  const char* expected;
};

class normalize_table : public ::testing::TestWithParam<normalize_case> {};

TEST_P(normalize_table, gives_the_compared_form) {
  EXPECT_EQ(encode_utf8(normalize_question(GetParam().input)), GetParam().expected) << GetParam().input;
}

INSTANTIATE_TEST_SUITE_P(
    questions, normalize_table,
    ::testing::Values(
        normalize_case{"中国的首都是？", "中国的首都是"},
        // full-width to half-width, ASCII lower-cased, spaces of every width dropped
        normalize_case{"ＡＢＣ　１２３ 的 值", "abc123的值"},
        normalize_case{"“床前明月光”的下一句是？", "床前明月光的下一句是"},
        // leading question numbers
        normalize_case{"12.中国的首都是", "中国的首都是"},
        normalize_case{"12. 中国的首都是", "中国的首都是"},
        normalize_case{"３、中国的首都是", "中国的首都是"},
        normalize_case{"(4) 中国的首都是", "中国的首都是"},
        normalize_case{"5）中国的首都是", "中国的首都是"},
        normalize_case{"第6题 中国的首都是", "中国的首都是"},
        normalize_case{"一、中国的首都是", "中国的首都是"},
        // numbers that belong to the question stay
        normalize_case{"3.14是什么数", "314是什么数"},
        normalize_case{"2008年奥运会在哪里举办", "2008年奥运会在哪里举办"},
        normalize_case{"1+1=?", "1+1="},
        normalize_case{"1、2、3中哪个是质数", "23中哪个是质数"},
        // type labels
        normalize_case{"【单选题】中国的首都是", "中国的首都是"},
        normalize_case{"[填空题] 中国的首都是", "中国的首都是"},
        normalize_case{"单选题：中国的首都是", "中国的首都是"},
        normalize_case{"（判断题）月球会发光", "月球会发光"},
        normalize_case{"【单选题，2分】中国的首都是", "中国的首都是"},
        // trailing score notes
        normalize_case{"中国的首都是（2分）", "中国的首都是"},
        normalize_case{"中国的首都是(5.0分)", "中国的首都是"},
        normalize_case{"中国的首都是？（本题3分） ", "中国的首都是"},
        normalize_case{"中国的首都是（　　）。（2分）", "中国的首都是"},
        // all of them at once, in any order
        normalize_case{"12.【单选题】中国的首都是？（2分）", "中国的首都是"},
        normalize_case{"【多选题】 3、 中国的首都是 [5 分]", "中国的首都是"},
        // brackets that are part of the question stay (their punctuation goes)
        normalize_case{"【答案】是什么", "答案是什么"},
        normalize_case{"《静夜思》的作者是", "静夜思的作者是"},
        normalize_case{"(a+b)的平方", "a+b的平方"},
        // nothing left
        normalize_case{"", ""},
        normalize_case{"？？ （2分）", ""},
        // invalid bytes do not crash and do not vanish
        normalize_case{"\xff问题", "\xEF\xBF\xBD问题"}),
    [](const ::testing::TestParamInfo<normalize_case>& info) { return std::to_string(info.index); });

}  // namespace
}  // namespace chati::service
