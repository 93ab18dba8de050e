// How the question in `w` is read from the raw request target: what the index is asked, and
// what the client gets back.
#include <gtest/gtest.h>

#include <string>

#include "raw_http.h"
#include "running_server.h"

namespace chati::service::http::testing {
namespace {

struct encoding_case {
  std::string name;
  std::string query;     // the raw query string, bytes as sent
  std::string expected;  // the question the index must be asked, UTF-8
  friend void PrintTo(const encoding_case& c, std::ostream* out) { *out << c.name; }
};

class query_encoding : public ::testing::TestWithParam<encoding_case> {};

TEST_P(query_encoding, index_is_asked_the_question_as_typed) {
  running_server server;
  const auto response = request_once(server.port(), get_request("/tmbx/qutimu.php?" + GetParam().query));
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200);
  const auto queries = server.index().queries();
  ASSERT_EQ(queries.size(), 1u);
  EXPECT_EQ(queries.front(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    w_parameter, query_encoding,
    ::testing::Values(
        encoding_case{"raw_gbk", "w=\xD6\xD0\xB9\xFA\xB5\xC4\xCA\xD7\xB6\xBC", "中国的首都"},
        encoding_case{"escaped_gbk", "w=%D6%D0%B9%FA", "中国"},
        encoding_case{"escaped_utf8", "w=%E4%B8%AD%E5%9B%BD", "中国"},
        encoding_case{"escaped_utf8_lower_case_hex", "w=%e4%b8%ad%e5%9b%bd", "中国"},
        encoding_case{"raw_utf8", "w=\xE4\xB8\xAD\xE5\x9B\xBD", "中国"},
        encoding_case{"raw_gb18030_four_byte", "w=\x81\x30\x81\x30", "\xC2\x80"},
        encoding_case{"bare_percent_kept", "w=100%", "100%"},
        encoding_case{"percent_without_hex_kept", "w=100%25%zz%4", "100%%zz%4"},
        encoding_case{"plus_stays_plus", "w=1+1=?", "1+1=?"},
        encoding_case{"ampersand_kept_with_the_rest", "w=a&b=c", "a&b=c"},
        encoding_case{"second_w_is_part_of_the_question", "w=x&w=y", "x&w=y"},
        encoding_case{"w_after_other_parameters", "from=client&w=%E4%B8%AD", "中"},
        encoding_case{"escaped_nul_reaches_the_index", "w=a%00b", std::string("a\0b", 3)},
        encoding_case{"escaped_markup", "w=%3Cb%3E", "<b>"}),
    [](const ::testing::TestParamInfo<encoding_case>& info) { return info.param.name; });

TEST(query_encoding_errors, empty_question_gets_the_page_saying_what_to_type) {
  running_server server;
  for (const std::string query : {"w=", "w=%20%20"}) {
    const auto response = request_once(server.port(), get_request("/tmbx/qutimu.php?" + query));
    ASSERT_TRUE(response) << query;
    EXPECT_EQ(response->status, 200) << query;
    EXPECT_NE(response->body.find("<title>请输入题目"), std::string::npos) << query;
  }
  EXPECT_TRUE(server.index().queries().empty());
}

TEST(query_encoding_errors, bytes_neither_utf8_nor_gb18030_get_400) {
  running_server server;
  for (const std::string query : {"w=%FF%FF", "w=\x80", "w=abc%81", "w=%E4%B8%AD%FF"}) {
    const auto response = request_once(server.port(), get_request("/tmbx/qutimu.php?" + query));
    ASSERT_TRUE(response) << query;
    EXPECT_EQ(response->status, 400) << query;
    EXPECT_NE(response->body.find("编码"), std::string::npos) << query;
  }
  EXPECT_TRUE(server.index().queries().empty());
}

TEST(query_encoding_errors, query_without_w_gets_400) {
  running_server server;
  for (const std::string target : {"/tmbx/qutimu.php", "/tmbx/qutimu.php?q=1", "/tmbx/qutimu.php?aw=1"}) {
    const auto response = request_once(server.port(), get_request(target));
    ASSERT_TRUE(response) << target;
    EXPECT_EQ(response->status, 400) << target;
  }
}

}  // namespace
}  // namespace chati::service::http::testing
