#include "sample_bank.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "lookup.h"
#include "test_support.h"

namespace chati::service {
namespace {

using testing::temp_dir;

// Two poems in the fortune format of the poem files, colour codes included.
const char* const poems =
    "\x1b[32m《静夜思》\x1b[m\n"
    "\x1b[33m作者：李白\x1b[m\n"
    "床前明月光，疑是地上霜。\n"
    "举头望明月，低头思故乡。\n"
    "%\n"
    "\x1b[32m题目:《登鹳雀楼》\x1b[m\n"
    "\x1b[33m作者:王之涣（６８８－７４２）\x1b[m\n"
    "白日依山尽，黄河入海流。\n"
    "欲穷千里目，更上一层楼。\n"
    "%\n";

std::string answer_to(const question_index& index, const char* q) {
  const auto r = index.lookup(q, 1);
  return r.matches.empty() || !r.matches[0].confident ? "-" : r.matches[0].answer;
}

TEST(poetry_questions, made_from_each_verse_and_title) {
  temp_dir dir;
  testing::write_file(dir / "tang300", poems);
  const auto rows = poetry_questions(dir / "tang300");
  auto has = [&](const char* q, const char* a) {
    for (const auto& r : rows) {
      if (r.question == q && r.answer == a) return true;
    }
    return false;
  };
  EXPECT_TRUE(has("“床前明月光”的下一句是？", "疑是地上霜"));
  EXPECT_TRUE(has("“疑是地上霜”的上一句是？", "床前明月光"));
  EXPECT_TRUE(has("“举头望明月”出自哪首诗？", "李白《静夜思》"));
  EXPECT_TRUE(has("《登鹳雀楼》的作者是？", "王之涣"));
  // Verses of different sentences are not each other's next.
  EXPECT_FALSE(has("“疑是地上霜”的下一句是？", "举头望明月"));
  EXPECT_EQ(rows.size(), 2u * (1 + 4 + 2 * 2));
  EXPECT_TRUE(poetry_questions(dir / "missing").empty());
}

TEST(sample_bank, answers_built_in_and_poetry_questions) {
  temp_dir dir;
  testing::write_file(dir / "tang300", poems);
  const auto bank = dir / "data" / "chati" / "bank.sqlite";
  ensure_sample_bank(bank, dir.path());
  const auto index = open_question_index(bank);
  EXPECT_GT(index->size(), 200u);
  EXPECT_EQ(answer_to(*index, "中华人民共和国的首都是哪座城市"), "北京");
  EXPECT_EQ(answer_to(*index, "【单选题】最小的质数是（ ）"), "2");
  EXPECT_EQ(answer_to(*index, "“举头望明月”的下一句是？"), "低头思故乡");
  EXPECT_EQ(answer_to(*index, "《登鹳雀楼》的作者是"), "王之涣");
}

TEST(sample_bank, an_existing_file_is_left_alone) {
  temp_dir dir;
  const auto bank = dir / "bank.sqlite";
  testing::write_file(bank, "mine");
  ensure_sample_bank(bank, dir.path());
  EXPECT_EQ(testing::read_file(bank), "mine");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(sample_bank, built_in_questions_all_import) {
  temp_dir dir;
  ensure_sample_bank(dir / "bank.sqlite", dir / "no-poems");
  EXPECT_GE(open_question_index(dir / "bank.sqlite")->size(), 200u);
}

TEST(sample_bank, poems_of_the_installed_package) {
  if (!std::filesystem::exists(default_poems_dir / "tang300")) GTEST_SKIP() << "fortunes-zh is not installed";
  const auto rows = poetry_questions_in(default_poems_dir);
  EXPECT_GT(rows.size(), 5000u);
  bool found = false;
  for (const auto& r : rows) found = found || (r.question == "“白日依山尽”的下一句是？" && r.answer == "黄河入海流");
  EXPECT_TRUE(found);
}

TEST(default_bank_path, follows_xdg_data_home_then_home) {
  setenv("XDG_DATA_HOME", "/data/home", 1);
  EXPECT_EQ(default_bank_path(), "/data/home/chati/bank.sqlite");
  setenv("XDG_DATA_HOME", "relative/is/ignored", 1);
  setenv("HOME", "/home/student", 1);
  EXPECT_EQ(default_bank_path(), "/home/student/.local/share/chati/bank.sqlite");
}

}  // namespace
}  // namespace chati::service
