#include "runtime/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/memory.h"

namespace {

TEST(TextEncoding, TextsAreGb18030BytesAtTheEdge) {
  struct row {
    const char* utf8;
    std::string bytes;
  } rows[] = {
      {"abc", "abc"},
      {"中文", "\xD6\xD0\xCE\xC4"},                    // GBK's own bytes
      {"题目：", "\xCC\xE2\xC4\xBF\xA3\xBA"},
      {"\xF0\x9F\x98\x80", "\x94\x39\xFC\x36"},          // outside GBK, still kept
  };
  for (const auto& r : rows) {
    char* text = runtime::text_from_wx(wxString::FromUTF8(r.utf8));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), r.bytes) << r.utf8;
    EXPECT_EQ(runtime::text_to_wx(text), wxString::FromUTF8(r.utf8));
    runtime::release(text);
  }
}

TEST(TextEncoding, EmptyTextIsNull) {
  EXPECT_EQ(runtime::text_from_wx(wxString()), nullptr);
  EXPECT_TRUE(runtime::text_to_wx(nullptr).empty());
}

}  // namespace
