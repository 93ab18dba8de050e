#include "encoding.h"

#include <gtest/gtest.h>

namespace chati::service {
namespace {

TEST(encoding, utf8_validation) {
  struct {
    const char* bytes;
    bool valid;
  } const cases[] = {
      {"", true},
      {"abc", true},
      {"中文", true},
      {"\xF0\x9F\x98\x80", true},   // U+1F600
      {"\xC0\xAF", false},          // overlong '/'
      {"\xE0\x80\xAF", false},      // overlong
      {"\xED\xA0\x80", false},      // surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xE4\xB8", false},          // cut short
      {"\x80", false},              // lone continuation byte
      {"\xD6\xD0\xCE\xC4", false},  // "中文" in GBK
  };
  for (const auto& c : cases) EXPECT_EQ(is_valid_utf8(c.bytes), c.valid) << c.bytes;
}

TEST(encoding, gbk_and_gb18030_become_utf8) {
  EXPECT_EQ(decode_utf8_or_gb18030("\xD6\xD0\xCE\xC4"), "中文");
  EXPECT_EQ(decode_utf8_or_gb18030("a\xD6\xD0" "b"), "a中b");
  // A four-byte GB18030 sequence (U+20000), beyond GBK.
  EXPECT_EQ(decode_utf8_or_gb18030("\x95\x32\x82\x36"), "\xF0\xA0\x80\x80");
  // Valid UTF-8 is taken as it is.
  EXPECT_EQ(decode_utf8_or_gb18030("中文"), "中文");
  // Neither: a lead byte at the end, a byte GB18030 never uses.
  EXPECT_EQ(decode_utf8_or_gb18030("\xD6"), std::nullopt);
  EXPECT_EQ(decode_utf8_or_gb18030("\xFF\xFF"), std::nullopt);
}

TEST(encoding, one_decoder_serves_many_texts_after_a_failure) {
  gb18030_decoder decoder;
  EXPECT_EQ(decoder.decode("\xD6"), std::nullopt);
  EXPECT_EQ(decoder.decode("\xD6\xD0"), "中");
  EXPECT_EQ(decoder.decode(""), "");
}

}  // namespace
}  // namespace chati::service
