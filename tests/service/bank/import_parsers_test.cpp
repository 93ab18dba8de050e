#include "import_parsers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace chati::service {
namespace {

std::vector<csv_record> read_csv(std::string_view data) {
  csv_reader reader(data);
  std::vector<csv_record> records;
  csv_record r;
  while (reader.next(r)) records.push_back(r);
  return records;
}

std::vector<parsed_row> read_rows(std::string_view data) {
  auto opened = open_rows(data);
  EXPECT_TRUE(opened.rows) << opened.error;
  std::vector<parsed_row> rows;
  parsed_row r;
  while (opened.rows && opened.rows->next(r)) rows.push_back(r);
  return rows;
}

TEST(csv_reader, rfc4180_quoting_and_line_numbers) {
  const auto records = read_csv(
      "a,b\r\n"
      "\"x,1\",\"say \"\"hi\"\"\"\n"
      "\n"
      "\"two\nlines\",z\n"
      "last,\"\"");
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].fields, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(records[1].fields, (std::vector<std::string>{"x,1", "say \"hi\""}));
  EXPECT_EQ(records[1].line, 2u);
  EXPECT_EQ(records[2].fields, (std::vector<std::string>{"two\nlines", "z"}));
  EXPECT_EQ(records[2].line, 4u);
  EXPECT_EQ(records[3].fields, (std::vector<std::string>{"last", ""}));
  EXPECT_EQ(records[3].line, 6u);
}

TEST(csv_reader, broken_quoting_is_one_bad_record_then_reading_goes_on) {
  const auto records = read_csv(
      "q,a\n"
      "\"closed\"junk,a\n"
      "bare\"quote,a\n"
      "\"never closed,a\n"
      "fine,a\n");
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[1].line, 2u);
  EXPECT_EQ(records[1].error, "text after the closing quote of a field");
  EXPECT_EQ(records[2].line, 3u);
  EXPECT_EQ(records[2].error, "quote inside an unquoted field");
  EXPECT_EQ(records[3].line, 4u);
  EXPECT_EQ(records[3].error, "quoted field is never closed");
  EXPECT_EQ(records[4].line, 5u);
  EXPECT_TRUE(records[4].error.empty());
  EXPECT_EQ(records[4].fields, (std::vector<std::string>{"fine", "a"}));
}

TEST(import_rows, csv_columns_by_header_name_and_bad_rows_with_reasons) {
  const auto rows = read_rows(
      "Type,Answer,extra,Question,Options\n"
      "单选题, 北京 ,x,  中国的首都是？ ,A.北京 B.上海\n"
      ",答案,x,,\n"
      "t,,x,没有答案,\n"
      "t,a,x,too few\n"
      "t,a,x,？？,\n");
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].error, "");
  EXPECT_EQ(rows[0].row.question, "中国的首都是？");
  EXPECT_EQ(rows[0].row.answer, "北京");
  EXPECT_EQ(rows[0].row.options, "A.北京 B.上海");
  EXPECT_EQ(rows[0].row.type, "单选题");
  EXPECT_EQ(rows[0].norm, "中国的首都是");
  EXPECT_EQ(rows[1].error, "missing question");
  EXPECT_EQ(rows[1].line, 3u);
  EXPECT_EQ(rows[2].error, "missing answer");
  EXPECT_EQ(rows[3].error, "expected 5 fields, found 4");
  EXPECT_EQ(rows[4].error, "question has no letters or digits to match");
}

TEST(import_rows, missing_column_or_empty_file_cannot_be_imported) {
  auto opened = open_rows("question,options\nq,o\n");
  EXPECT_FALSE(opened.rows);
  EXPECT_EQ(opened.error, "missing column \"answer\" in the header row (found: question, options)");
  EXPECT_FALSE(open_rows("").rows);
  EXPECT_FALSE(open_rows("\"question,answer\n").rows);
}

TEST(import_rows, json_lines_with_the_same_keys) {
  const auto rows = read_rows(
      "{\"question\": \"1+1=?\", \"answer\": 2, \"options\": [\"A. 1\", \"B. 2\"], \"type\": \"单选题\"}\n"
      "\n"
      "{\"question\": \"q\\u0041\", \"answer\": \"a\", \"extra\": {}}\r\n"
      "{\"question\": \"q\"}\n"
      "[1, 2]\n"
      "{\"question\": \"q\", \"answer\": {\"x\": 1}}\n"
      "{not json\n");
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0].error, "");
  EXPECT_EQ(rows[0].row.answer, "2");
  EXPECT_EQ(rows[0].row.options, "A. 1\nB. 2");
  EXPECT_EQ(rows[0].row.type, "单选题");
  EXPECT_EQ(rows[1].line, 3u);
  EXPECT_EQ(rows[1].row.question, "qA");
  EXPECT_EQ(rows[1].error, "");
  EXPECT_EQ(rows[2].error, "missing answer");
  EXPECT_EQ(rows[3].error, "not a JSON object");
  EXPECT_EQ(rows[4].error, "\"answer\" is not text");
  EXPECT_EQ(rows[5].error, "not valid JSON");
  EXPECT_EQ(rows[5].line, 7u);
}

TEST(import_rows, gbk_file_is_detected_and_decoded) {
  // "question,answer\n中文,答案\n" in GBK.
  const std::string gbk = "question,answer\n\xD6\xD0\xCE\xC4,\xB4\xF0\xB0\xB8\n";
  EXPECT_EQ(detect_encoding(gbk), text_encoding::gb18030);
  const auto rows = read_rows(gbk);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].row.question, "中文");
  EXPECT_EQ(rows[0].row.answer, "答案");
}

TEST(import_rows, undecodable_bytes_spoil_only_their_row) {
  // A UTF-8 file with one row of bytes that are neither UTF-8 nor GB18030.
  const auto rows = read_rows("question,answer\n中文,答案\n\xFF\xFE,x\n英文,答案\n");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].error, "");
  EXPECT_EQ(rows[1].error, "bytes that are not UTF-8");
  EXPECT_EQ(rows[1].line, 3u);
  EXPECT_EQ(rows[2].row.question, "英文");

  // A GBK file with one row cut in the middle of a character.
  const auto gbk = read_rows("question,answer\n\xD6\xD0,\xB4\xF0\n\xD6,x\n");
  ASSERT_EQ(gbk.size(), 2u);
  EXPECT_EQ(gbk[0].row.question, "中");
  EXPECT_EQ(gbk[1].error, "bytes that are not GBK/GB18030");
}

TEST(import_rows, byte_order_mark_is_not_part_of_the_header) {
  const auto rows = read_rows("\xEF\xBB\xBFquestion,answer\nq,a\n");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].row.question, "q");
}

}  // namespace
}  // namespace chati::service
