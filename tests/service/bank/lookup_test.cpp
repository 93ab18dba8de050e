#include <gtest/gtest.h>

#include <thread>

#include "bank_file.h"
#include "lookup.h"
#include "normalize.h"
#include "test_support.h"
#include "text.h"

namespace chati::service {
namespace {

using testing::temp_dir;

// Questions that look alike on purpose: shared templates, shared words, near-identical titles.
const question_row fixture[] = {
    {"中国的首都是？", "北京", "A.北京 B.上海 C.广州 D.深圳", "单选题"},
    {"日本的首都是？", "东京", "", ""},
    {"中国最长的河流是？", "长江", "", ""},
    {"世界上最长的河流是？", "尼罗河", "", ""},
    {"“床前明月光”的下一句是？", "疑是地上霜", "", "诗词"},
    {"“疑是地上霜”的上一句是？", "床前明月光", "", "诗词"},
    {"“床前明月光”出自哪首诗？", "李白《静夜思》", "", "诗词"},
    {"“白日依山尽”的下一句是？", "黄河入海流", "", "诗词"},
    {"“欲穷千里目”的下一句是？", "更上一层楼", "", "诗词"},
    {"《静夜思》的作者是？", "李白", "", "诗词"},
    {"《登鹳雀楼》的作者是？", "王之涣", "", "诗词"},
    {"光合作用的产物是什么？", "有机物和氧气", "", ""},
    {"细胞的“动力车间”是？", "线粒体", "", ""},
    {"牛顿第二定律的公式是？", "F=ma", "", ""},
    {"一个三角形的内角和是多少度？", "180度", "", ""},
    {"光年", "天文学上的长度单位", "", "名词解释"},
    {"π", "圆周率", "", "名词解释"},
    {"月球本身会发光。", "错误", "", "判断题"},
};

class lookup_test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new temp_dir;
    const auto bank = *dir_ / "fixture.sqlite";
    auto db = open_bank_for_writing(bank);
    transaction tx(db.get());
    bank_writer writer(db.get());
    for (const auto& row : fixture) writer.add(row, encode_utf8(normalize_question(row.question)));
    tx.commit();
    db.reset();
    index_ = open_question_index(bank).release();
  }
  static void TearDownTestSuite() {
    delete index_;
    delete dir_;
  }
  static temp_dir* dir_;
  static question_index* index_;
};

temp_dir* lookup_test::dir_ = nullptr;
question_index* lookup_test::index_ = nullptr;

TEST_F(lookup_test, noisy_queries_find_their_question) {
  struct {
    const char* query;
    const char* question;
  } const cases[] = {
      {"中国的首都是？", "中国的首都是？"},
      {"12.【单选题】中国的首都是（ ）（2分）", "中国的首都是？"},
      {"中国的首度是", "中国的首都是？"},                             // typo
      {"日本首都是", "日本的首都是？"},                               // dropped character
      {"１２．世界上最长的　河流是？", "世界上最长的河流是？"},    // full-width number, spacing
      {"床前明月光的下一句", "“床前明月光”的下一句是？"},             // copied without its end
      {"\"床前明月光\"出自哪首诗?(5.0分)", "“床前明月光”出自哪首诗？"},
      {"疑是地上霜 的上一句是", "“疑是地上霜”的上一句是？"},
      {"“白日依山近”的下一句是", "“白日依山尽”的下一句是？"},
      {"3、《静夜思》作者是", "《静夜思》的作者是？"},
      {"[填空题]光合作用的产物是什么", "光合作用的产物是什么？"},
      {"细胞的动力车间是", "细胞的“动力车间”是？"},
      {"牛顿第二定律公式", "牛顿第二定律的公式是？"},
      {"判断题：月球本身会发光（ ）", "月球本身会发光。"},
  };
  for (const auto& c : cases) {
    const auto r = index_->lookup(c.query, 3);
    ASSERT_FALSE(r.matches.empty()) << c.query;
    EXPECT_EQ(r.matches[0].question, c.question) << c.query;
    EXPECT_TRUE(r.matches[0].confident) << c.query << " scored " << r.matches[0].score;
  }
}

TEST_F(lookup_test, questions_the_bank_cannot_answer_get_no_confident_match) {
  const char* const cases[] = {
      "法国的国歌叫什么名字？",
      "“春眠不觉晓”的下一句是？",      // same template, other poem
      "《春晓》的作者是？",
      "量子纠缠现象最早由哪位科学家提出？",
      "TCP三次握手的第二步发送什么报文？",
      "的下一句是",
      "hello world",
  };
  for (const char* q : cases) {
    const auto r = index_->lookup(q, 3);
    for (const auto& m : r.matches) EXPECT_FALSE(m.confident) << q << " -> " << m.question << " " << m.score;
  }
}

TEST_F(lookup_test, one_and_two_character_queries) {
  auto top = [](const char* q) {
    const auto r = index_->lookup(q, 3);
    return r.matches.empty() ? std::string("-") : r.matches[0].question + (r.matches[0].confident ? "" : " ?");
  };
  EXPECT_EQ(top("光年"), "光年");
  EXPECT_EQ(top("【名词解释】光年"), "光年");
  EXPECT_EQ(top("π"), "π");
  EXPECT_EQ(top("光"), "光年 ?");  // a near miss, shown but not trusted
  EXPECT_EQ(top("镁"), "-");
}

TEST_F(lookup_test, result_shape) {
  auto r = index_->lookup(" 3、【单选题】中国的首都是？（2分）", 3);
  EXPECT_EQ(r.understood, "中国的首都是");
  ASSERT_EQ(r.matches.size(), 3u);
  EXPECT_EQ(r.matches[0].answer, "北京");
  EXPECT_EQ(r.matches[0].options, "A.北京 B.上海 C.广州 D.深圳");
  EXPECT_EQ(r.matches[0].type, "单选题");
  EXPECT_DOUBLE_EQ(r.matches[0].score, 1.0);
  for (std::size_t i = 1; i < r.matches.size(); ++i) {
    EXPECT_LE(r.matches[i].score, r.matches[i - 1].score);
    EXPECT_GE(r.matches[i].score, 0.0);
  }
  EXPECT_EQ(index_->lookup("中国的首都是", 1).matches.size(), 1u);
  EXPECT_TRUE(index_->lookup("中国的首都是", 0).matches.empty());
  EXPECT_TRUE(index_->lookup("", 5).matches.empty());
  EXPECT_TRUE(index_->lookup("【单选题】（2分）", 5).matches.empty());
  EXPECT_EQ(index_->size(), std::size(fixture));
}

TEST_F(lookup_test, concurrent_lookups_agree_with_sequential_ones) {
  const char* const queries[] = {"中国的首都是", "床前明月光的下一句", "光年", "光", "美国的首都是", "牛顿第二定律"};
  std::vector<std::string> expected;
  for (const char* q : queries) {
    const auto r = index_->lookup(q, 3);
    expected.push_back(r.matches.empty() ? "" : r.matches[0].question);
  }
  std::vector<std::thread> threads;
  std::vector<int> wrong(8, 0);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round) {
        const std::size_t i = static_cast<std::size_t>(round + t) % std::size(queries);
        const auto r = index_->lookup(queries[i], 3);
        if ((r.matches.empty() ? "" : r.matches[0].question) != expected[i]) ++wrong[static_cast<std::size_t>(t)];
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int w : wrong) EXPECT_EQ(w, 0);
}

TEST(open_question_index, clear_errors_for_missing_and_foreign_files) {
  temp_dir dir;
  auto message = [](const std::filesystem::path& p) {
    try {
      open_question_index(p);
    } catch (const std::runtime_error& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message(dir / "none.sqlite"), "bank " + (dir / "none.sqlite").string() + ": no such file");
  EXPECT_EQ(message(dir.path()), "bank " + dir.path().string() + ": is a directory");
  testing::write_file(dir / "text.sqlite", std::string(2000, 'x'));
  EXPECT_NE(message(dir / "text.sqlite").find("not a question bank"), std::string::npos);
  testing::write_file(dir / "empty.sqlite", "");
  EXPECT_NE(message(dir / "empty.sqlite").find("not a question bank"), std::string::npos);
}

TEST(open_question_index, an_empty_bank_answers_nothing) {
  temp_dir dir;
  open_bank_for_writing(dir / "b.sqlite");
  const auto index = open_question_index(dir / "b.sqlite");
  EXPECT_EQ(index->size(), 0u);
  EXPECT_TRUE(index->lookup("中国的首都是", 5).matches.empty());
}

TEST(open_question_index, a_bank_normalised_with_older_rules_is_normalised_again) {
  temp_dir dir;
  const auto bank = dir / "b.sqlite";
  {
    auto db = open_bank_for_writing(bank);
    bank_writer writer(db.get());
    writer.add({"12.中国的首都是？（2分）", "北京", "", ""}, "stale");
    exec(db.get(), "PRAGMA user_version = 0");
  }
  // Read as it is: the stale column is not trusted.
  EXPECT_EQ(open_question_index(bank)->lookup("中国的首都是", 1).matches.at(0).score, 1.0);
  // Opened for writing: the column is rewritten, so duplicates keep being merged.
  auto db = open_bank_for_writing(bank);
  bank_writer writer(db.get());
  EXPECT_EQ(writer.add({"中国的首都是", "北京", "", ""}, "中国的首都是"), bank_writer::outcome::merged);
}

}  // namespace
}  // namespace chati::service
