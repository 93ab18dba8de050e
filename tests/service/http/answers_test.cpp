// What the client is shown: the answer page, the no-match page, and the JSON form, with
// everything from the query and the bank escaped.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

#include "encoding.h"
#include "raw_http.h"
#include "running_server.h"

namespace chati::service::http::testing {
namespace {

using nlohmann::json;

constexpr const char* json_accept = "Accept: application/json\r\n";

raw_response get(int port, const std::string& target, std::string_view headers = {}) {
  auto response = request_once(port, get_request(target, headers));
  if (!response) ADD_FAILURE() << "no response to " << target;
  return response.value_or(raw_response{});
}

TEST(answer_page, shows_the_best_match_with_its_options_and_the_runners_up) {
  running_server server({{"中国的首都是哪里？", "北京", "A. 北京\nB. 上海", "单选题", 0, false},
                         {"中国的首都在哪一年定在北京？", "1949年", "", "", 0, false}});
  const raw_response page = get(server.port(), "/tmbx/qutimu.php?w=%E4%B8%AD%E5%9B%BD%E7%9A%84%E9%A6%96%E9%83%BD");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.header("content-type"), "text/html; charset=utf-8");
  EXPECT_NE(page.body.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(page.body.find("<title>答案：北京"), std::string::npos);
  EXPECT_NE(page.body.find("你的问题：中国的首都"), std::string::npos);
  EXPECT_NE(page.body.find("答案：北京"), std::string::npos);
  EXPECT_NE(page.body.find("A. 北京\nB. 上海"), std::string::npos);
  EXPECT_NE(page.body.find("单选题"), std::string::npos);
  EXPECT_NE(page.body.find("其他相近的题目"), std::string::npos);
  EXPECT_NE(page.body.find("1949年"), std::string::npos);
  EXPECT_LT(page.body.find("北京"), page.body.find("1949年")) << "best match first";
}

TEST(answer_page, says_no_match_instead_of_showing_a_doubtful_answer) {
  running_server server({{"中国的首都是哪里？这道题很长很长很长", "北京", "", "", 0, false}});
  const raw_response page = get(server.port(), "/tmbx/qutimu.php?w=%E4%B8%AD%E5%9B%BD");  // score below 0.5
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("<title>未找到答案"), std::string::npos);
  EXPECT_NE(page.body.find("没有找到足够相近的题目"), std::string::npos);
  EXPECT_EQ(page.body.find("北京"), std::string::npos) << "a doubtful answer must not be shown";

  const raw_response nothing = get(server.port(), "/tmbx/qutimu.php?w=xyz");
  EXPECT_NE(nothing.body.find("没有找到足够相近的题目"), std::string::npos);
}

TEST(answer_json, lists_only_confident_matches_best_first) {
  running_server server({{"首都是哪里", "北京", "A. 北京", "单选题", 0, false},
                         {"首都是哪里呢？", "北京市", "", "", 0, false},
                         {"首都是哪里？这道题很长很长很长很长很长", "不确定", "", "", 0, false}});
  const raw_response response = get(server.port(), "/tmbx/qutimu.php?w=%E9%A6%96%E9%83%BD%E6%98%AF%E5%93%AA%E9%87%8C", json_accept);
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.header("content-type"), "application/json; charset=utf-8");
  EXPECT_EQ(response.header("vary"), "Accept");
  const json body = json::parse(response.body);
  EXPECT_EQ(body["query"], "首都是哪里");
  ASSERT_EQ(body["matches"].size(), 2u);
  EXPECT_EQ(body["matches"][0], (json{{"question", "首都是哪里"}, {"answer", "北京"}, {"options", "A. 北京"}, {"type", "单选题"}, {"score", 1.0}}));
  EXPECT_EQ(body["matches"][1]["answer"], "北京市");
  EXPECT_GT(body["matches"][0]["score"].get<double>(), body["matches"][1]["score"].get<double>());
  EXPECT_LE(body["matches"][1]["score"].get<double>(), 1.0);

  const json none = json::parse(get(server.port(), "/tmbx/qutimu.php?w=xyz", json_accept).body);
  EXPECT_EQ(none, (json{{"query", "xyz"}, {"matches", json::array()}}));
  const json empty = json::parse(get(server.port(), "/tmbx/qutimu.php?w=", json_accept).body);
  EXPECT_EQ(empty, (json{{"query", ""}, {"matches", json::array()}}));
}

TEST(answer_json, is_chosen_by_the_accept_header_only) {
  running_server server;
  const std::pair<std::string, bool> cases[] = {
      {"Accept: application/json\r\n", true},
      {"Accept: text/html;q=0.9, APPLICATION/JSON\r\n", true},
      {"Accept: application/json;q=0.5\r\n", true},
      {"Accept: application/json;q=0\r\n", false},
      {"Accept: text/html,application/xhtml+xml,*/*;q=0.8\r\n", false},
      {"", false},
  };
  for (const auto& [header, wants_json] : cases) {
    const raw_response response = get(server.port(), "/tmbx/qutimu.php?w=1%2B1", header);
    EXPECT_EQ(response.header("content-type").starts_with("application/json"), wants_json) << header;
  }
}

const match hostile_question{"<script>alert('q')</script> & \"quoted\"", "<b>answer</b> & more",
                             "A. <img src=x onerror=alert(1)>", "<i>type</i>", 0, false};

TEST(escaping, markup_from_the_bank_and_the_query_is_shown_as_text) {
  running_server server({hostile_question});
  const raw_response page = get(server.port(), "/tmbx/qutimu.php?w=%3Cscript%3Ealert('q')%3C/script%3E%20&%20%22quoted%22");
  ASSERT_EQ(page.status, 200);
  for (const char* raw : {"<script", "<b>", "<img", "<i>", "\"quoted\""}) {
    EXPECT_EQ(page.body.find(raw), std::string::npos) << raw;
  }
  for (const char* escaped : {"&lt;script&gt;alert(&#39;q&#39;)&lt;/script&gt; &amp; &quot;quoted&quot;",
                              "&lt;b&gt;answer&lt;/b&gt; &amp; more", "A. &lt;img src=x onerror=alert(1)&gt;",
                              "&lt;i&gt;type&lt;/i&gt;"}) {
    EXPECT_NE(page.body.find(escaped), std::string::npos) << escaped;
  }
  const raw_response none = get(server.port(), "/tmbx/qutimu.php?w=%3Csvg%20onload=x%3E");
  EXPECT_EQ(none.body.find("<svg"), std::string::npos);
  EXPECT_NE(none.body.find("&lt;svg onload=x&gt;"), std::string::npos);
}

TEST(escaping, json_carries_any_text_intact_and_stays_valid) {
  const match odd{"odd \"quote\" \\ back\x01slash\ttab", "line\nbreak \xE2\x80\xA8 <tag>", "", "", 0, false};
  running_server server({hostile_question, odd});
  for (const match& asked : {hostile_question, odd}) {
    const raw_response response =
        get(server.port(), "/tmbx/qutimu.php?w=" + percent_encode_all(asked.question), json_accept);
    const json body = json::parse(response.body);
    EXPECT_EQ(body["query"], asked.question);
    ASSERT_EQ(body["matches"].size(), 1u) << asked.question;
    EXPECT_EQ(body["matches"][0]["question"], asked.question);
    EXPECT_EQ(body["matches"][0]["answer"], asked.answer);
    EXPECT_EQ(body["matches"][0]["options"], asked.options);
    EXPECT_EQ(body["matches"][0]["type"], asked.type);
  }
}

TEST(escaping, broken_bytes_in_the_bank_leave_valid_utf8_pages_and_json) {
  using namespace std::string_literals;
  running_server server({{"broken\xFF", "ans\xC3", "opt \xE4\xB8 \0 nul"s, "\x01\x7F", 0, false}});
  const raw_response page = get(server.port(), "/tmbx/qutimu.php?w=broken");
  ASSERT_EQ(page.status, 200);
  ASSERT_NE(page.body.find("ans\xEF\xBF\xBD"), std::string::npos);
  EXPECT_TRUE(is_valid_utf8(page.body));
  EXPECT_EQ(page.body.find('\0'), std::string::npos);
  EXPECT_EQ(page.body.find('\x01'), std::string::npos);
  const raw_response answer = get(server.port(), "/tmbx/qutimu.php?w=broken", json_accept);
  EXPECT_TRUE(is_valid_utf8(answer.body));
  const json body = json::parse(answer.body);
  ASSERT_EQ(body["matches"].size(), 1u);
  EXPECT_EQ(body["matches"][0]["answer"], "ans\xEF\xBF\xBD");
  const std::string options = body["matches"][0]["options"];
  EXPECT_TRUE(options.starts_with("opt \xEF\xBF\xBD")) << options;
  EXPECT_TRUE(options.ends_with(" \0 nul"s)) << options;
}

TEST(escaping, nul_in_the_query_is_not_written_into_the_page) {
  running_server server;
  const raw_response page = get(server.port(), "/tmbx/qutimu.php?w=a%00b");
  ASSERT_EQ(page.status, 200);
  EXPECT_EQ(page.body.find('\0'), std::string::npos);
  EXPECT_TRUE(is_valid_utf8(page.body));
  const json body = json::parse(get(server.port(), "/tmbx/qutimu.php?w=a%00b", json_accept).body);
  EXPECT_EQ(body["query"], std::string("a\0b", 3));
}

}  // namespace
}  // namespace chati::service::http::testing
