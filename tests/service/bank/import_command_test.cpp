// The import command as a user runs it: the real chati-server binary on real files.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "bank_file.h"
#include "test_support.h"

namespace chati::service {
namespace {

using testing::process_result;
using testing::temp_dir;
using testing::write_file;

process_result import(const temp_dir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), {CHATI_SERVER_PATH, "import"});
  return testing::run_process(args, dir.path());
}

// Every row of the bank, in order: what "the bank is unchanged" compares.
std::string dump(const std::filesystem::path& bank) {
  auto db = open_bank_for_reading(bank);
  std::string out;
  read_bank(db.get(), [&](long long id, const question_view& r, std::string_view norm) {
    out += std::to_string(id);
    for (std::string_view field : {r.question, r.answer, r.options, r.type, norm}) (out += "|") += field;
    out += "\n";
  });
  return out;
}

TEST(import_command, help_and_usage_errors) {
  temp_dir dir;
  auto help = import(dir, {"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("Usage: chati-server import [--bank PATH] FILE..."), std::string::npos);

  const std::string bank = (dir / "b.sqlite").string();
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--bank", bank}, {"--bank"}, {"--bank=", "f.csv"}, {"--frobnicate", "f.csv"}}) {
    auto r = import(dir, args);
    EXPECT_EQ(r.exit_code, 2) << args[0];
    EXPECT_NE(r.err.find("Try 'chati-server import --help'"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(bank));
}

TEST(import_command, bad_rows_are_reported_with_file_and_line_and_the_rest_goes_in) {
  temp_dir dir;
  const auto file = dir / "q.csv";
  write_file(file,
             "question,answer\n"
             "中国的首都是？,北京\n"
             "没有答案,\n"
             "\"坏的\"引号,x\n"
             "\"两行\n的题\",答案\n"
             "\xFF\xFE,x\n"
             "最后一题,好\n");
  const auto bank = dir / "b.sqlite";
  auto r = import(dir, {"--bank", bank.string(), file.string()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::string f = file.string();
  EXPECT_EQ(r.err, f + ":3: missing answer\n" + f + ":4: text after the closing quote of a field\n" + f +
                       ":7: bytes that are not UTF-8\n");
  EXPECT_NE(r.out.find("3 added, 0 merged, 3 skipped from 1 file in "), std::string::npos) << r.out;
  EXPECT_NE(dump(bank).find("|两行\n的题|答案|"), std::string::npos);
}

TEST(import_command, the_same_question_with_the_same_answer_is_stored_once) {
  temp_dir dir;
  const auto bank = dir / "b.sqlite";
  const auto first = dir / "first.csv";
  write_file(first, "question,answer\n中国的首都是？,北京\n中国的首都是？,南京\n");
  ASSERT_EQ(import(dir, {"--bank", bank.string(), first.string()}).exit_code, 0);

  // Decorated the way exam papers decorate it, now with options and a type: merged, and the
  // options and type it lacked are filled in. The other answer stays a question of its own.
  const auto second = dir / "second.jsonl";
  write_file(second,
             "{\"question\": \"12.【单选题】中国的首都是（2分）\", \"answer\": \"北京\", "
             "\"options\": \"A.北京 B.上海\", \"type\": \"单选题\"}\n"
             "{\"question\": \"中国的首都是？\", \"answer\": \"北京\"}\n");
  auto r = import(dir, {"--bank", bank.string(), second.string()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("0 added, 2 merged, 0 skipped"), std::string::npos) << r.out;
  EXPECT_EQ(dump(bank),
            "1|中国的首都是？|北京|A.北京 B.上海|单选题|中国的首都是\n"
            "2|中国的首都是？|南京|||中国的首都是\n");
}

TEST(import_command, gbk_file_is_stored_as_utf8) {
  temp_dir dir;
  const auto bank = dir / "b.sqlite";
  const auto file = dir / "gbk.csv";
  // "question,answer,type\n中文的题,答案,填空题\n" in GBK, with CRLF line ends.
  write_file(file, "question,answer,type\r\n\xD6\xD0\xCE\xC4\xB5\xC4\xCC\xE2,\xB4\xF0\xB0\xB8,\xCC\xEE\xBF\xD5\xCC\xE2\r\n");
  auto r = import(dir, {"--bank", bank.string(), file.string()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(dump(bank), "1|中文的题|答案||填空题|中文的题\n");
}

TEST(import_command, a_file_that_cannot_be_imported_leaves_the_bank_as_it_was) {
  temp_dir dir;
  const auto bank = dir / "b.sqlite";
  const auto good = dir / "good.csv";
  write_file(good, "question,answer\n一,1\n");
  ASSERT_EQ(import(dir, {"--bank", bank.string(), good.string()}).exit_code, 0);
  const std::string before = dump(bank);

  const auto no_answer = dir / "no_answer.csv";
  write_file(no_answer, "question,reply\n二,2\n");
  auto r = import(dir, {"--bank", bank.string(), no_answer.string(), (dir / "missing.csv").string()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find(no_answer.string() + ": missing column \"answer\" in the header row (found: question, reply)"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("missing.csv: cannot read: No such file or directory"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("; 2 files not imported"), std::string::npos) << r.out;
  EXPECT_EQ(dump(bank), before);
}

TEST(import_command, clear_errors_for_a_bank_that_is_not_one) {
  temp_dir dir;
  const auto file = dir / "q.csv";
  write_file(file, "question,answer\nq,a\n");
  const auto text = dir / "notes.txt";
  write_file(text, "these are my notes, not a database at all, but long enough to look like one......");
  auto r = import(dir, {"--bank", text.string(), file.string()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("not a question bank"), std::string::npos) << r.err;
  EXPECT_EQ(testing::read_file(text), "these are my notes, not a database at all, but long enough to look like one......");

  r = import(dir, {"--bank", (dir / "no" / "such" / "dir.sqlite").string(), file.string()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;
}

TEST(import_command, a_killed_import_leaves_the_bank_as_it_was) {
  temp_dir dir;
  const auto bank = dir / "b.sqlite";
  const auto small = dir / "small.csv";
  write_file(small, "question,answer\n已有的题,已有的答案\n");
  ASSERT_EQ(import(dir, {"--bank", bank.string(), small.string()}).exit_code, 0);
  const std::string before = dump(bank);

  std::string big = "question,answer\n";
  for (int i = 0; i < 300000; ++i) big += "第" + std::to_string(i) + "个问题是什么,答案" + std::to_string(i) + "\n";
  const auto big_file = dir / "big.csv";
  write_file(big_file, big);

  const int pid = testing::start_process({CHATI_SERVER_PATH, "import", "--bank", bank.string(), big_file.string()});
  // The rollback journal appears once the import writes into the bank: kill it then.
  const auto journal = std::filesystem::path(bank.string() + "-journal");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool exited = false;
  while (!std::filesystem::exists(journal) && std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      exited = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ASSERT_FALSE(exited) << "the import ended before it could be killed";
  ASSERT_TRUE(std::filesystem::exists(journal));
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));

  EXPECT_EQ(dump(bank), before);
  // And the bank still takes imports.
  const auto more = dir / "more.csv";
  write_file(more, "question,answer\n新的题,新的答案\n");
  EXPECT_EQ(import(dir, {"--bank", bank.string(), more.string()}).exit_code, 0);
  EXPECT_NE(dump(bank).find("新的题"), std::string::npos);
}

}  // namespace
}  // namespace chati::service
