// Hostile and broken requests get a clear status (or a closed connection), and the server
// answers correctly afterwards.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "raw_http.h"
#include "running_server.h"

namespace chati::service::http::testing {
namespace {

const std::string good_query = get_request("/tmbx/qutimu.php?w=%E4%B8%AD%E5%9B%BD%E7%9A%84%E9%A6%96%E9%83%BD");

void expect_still_answers(int port) {
  const auto response = request_once(port, good_query);
  ASSERT_TRUE(response) << "the server stopped answering";
  EXPECT_EQ(response->status, 200);
  EXPECT_NE(response->body.find("答案：北京"), std::string::npos);
}

struct bad_case {
  std::string name;
  std::string request;
  int status;  // 0: any status from 400 up, or the connection closed without one
  friend void PrintTo(const bad_case& c, std::ostream* out) { *out << c.name; }
};

class bad_requests : public ::testing::TestWithParam<bad_case> {};

TEST_P(bad_requests, get_a_clear_status_and_leave_the_server_answering) {
  running_server server;
  raw_connection connection(server.port());
  ASSERT_TRUE(connection.send(GetParam().request));
  const auto response = connection.receive();
  if (GetParam().status != 0) {
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, GetParam().status);
  } else if (response) {
    EXPECT_GE(response->status, 400);
  }
  if (response && response->header("connection") == "close") {
    EXPECT_TRUE(connection.closed_by_server()) << "told to close, the server must close too";
  }
  expect_still_answers(server.port());
}

std::string many_headers(int count) {
  std::string headers;
  for (int i = 0; i < count; ++i) headers += "X-Filler-" + std::to_string(i) + ": " + std::string(100, 'v') + "\r\n";
  return headers;
}

INSTANTIATE_TEST_SUITE_P(
    malformed, bad_requests,
    ::testing::Values(
        bad_case{"request_line_without_version", "GET /tmbx/qutimu.php?w=1\r\n\r\n", 400},
        bad_case{"request_line_without_target", "GET\r\n\r\n", 400},
        bad_case{"unknown_http_version", "GET /healthz HTTP/7.1\r\n\r\n", 400},
        bad_case{"binary_request_line", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 15), 400},
        bad_case{"unknown_method", "SMUGGLE /tmbx/qutimu.php?w=1 HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        bad_case{"header_line_without_colon_is_ignored", "GET /healthz HTTP/1.1\r\nthis is not a header\r\n\r\n", 200},
        bad_case{"one_huge_header", "GET /healthz HTTP/1.1\r\nX-Big: " + std::string(64 * 1024, 'a') + "\r\n\r\n", 400},
        bad_case{"too_many_headers", "GET /healthz HTTP/1.1\r\n" + many_headers(500) + "\r\n", 431},
        bad_case{"body_on_get", "GET /tmbx/qutimu.php?w=1 HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", 400},
        bad_case{"chunked_body_on_get", "GET /healthz HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", 400},
        bad_case{"huge_body_on_post", "POST /tmbx/qutimu.php HTTP/1.1\r\nContent-Length: 100000000\r\n\r\n" + std::string(4096, 'b'), 405},
        bad_case{"dot_dot_path", "GET /tmbx/../../etc/passwd HTTP/1.1\r\n\r\n", 404},
        bad_case{"escaped_dot_dot_path", "GET /%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\n\r\n", 404},
        bad_case{"dot_dot_around_the_query_path", "GET /x/../tmbx/qutimu.php?w=1 HTTP/1.1\r\n\r\n", 404},
        bad_case{"absolute_target", "GET http://127.0.0.1/etc/passwd HTTP/1.1\r\n\r\n", 404},
        bad_case{"bare_newlines", "GET /healthz HTTP/1.1\nHost: x\n\n", 0},
        bad_case{"only_newlines", "\r\n\r\n\r\n\r\n", 0}),
    [](const ::testing::TestParamInfo<bad_case>& info) { return info.param.name; });

TEST(bad_requests_after_close, connection_refused_body_is_not_read_as_a_request) {
  // The body of a refused GET is never parsed as a request of its own: the connection is
  // closed, and the server answers on a new one.
  running_server server;
  raw_connection connection(server.port());
  ASSERT_TRUE(connection.send("GET /healthz HTTP/1.1\r\nContent-Length: 29\r\n\r\nDELETE /healthz HTTP/1.1\r\n\r\n"));
  const auto response = connection.receive();
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 400);
  EXPECT_EQ(response->header("connection"), "close");
  EXPECT_TRUE(connection.closed_by_server());
  expect_still_answers(server.port());
}

TEST(random_bytes, in_the_request_and_in_w_never_break_the_server) {
  running_server server;
  std::mt19937 random(20261211);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 300);
  for (int round = 0; round < 60; ++round) {
    std::string noise;
    for (int i = length(random); i > 0; --i) noise.push_back(static_cast<char>(byte(random)));
    std::string request;
    switch (round % 3) {
      case 0: request = noise + "\r\n\r\n"; break;  // noise as the whole request
      case 1: request = "GET /tmbx/qutimu.php?w=" + percent_encode_all(noise) + " HTTP/1.1\r\n\r\n"; break;
      default: {
        std::string raw;  // noise as raw bytes of w, except what ends a request line
        for (const char c : noise) raw.push_back(c == ' ' || c == '\r' || c == '\n' ? 'x' : c);
        request = "GET /tmbx/qutimu.php?w=" + raw + " HTTP/1.1\r\n\r\n";
      }
    }
    raw_connection connection(server.port());
    ASSERT_TRUE(connection.send(request)) << round;
    const auto response = connection.receive();
    if (round % 3 != 0) {
      ASSERT_TRUE(response) << round;
      EXPECT_TRUE(response->status == 200 || response->status == 400) << round << ": " << response->status;
    }
  }
  expect_still_answers(server.port());
}

TEST(index_failure, gets_500_and_the_server_goes_on) {
  running_server server;
  const auto response = request_once(server.port(), get_request("/tmbx/qutimu.php?w=!boom"));
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 500);
  EXPECT_NE(response->body.find("<title>"), std::string::npos);
  expect_still_answers(server.port());
}

}  // namespace
}  // namespace chati::service::http::testing
