// Which requests get which status, HEAD, the health check and the access log.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <regex>
#include <string>

#include "raw_http.h"
#include "running_server.h"

namespace chati::service::http::testing {
namespace {

struct status_case {
  std::string name;
  std::string request;
  int status;
  friend void PrintTo(const status_case& c, std::ostream* out) { *out << c.name; }
};

class statuses : public ::testing::TestWithParam<status_case> {};

TEST_P(statuses, request_gets_a_clear_status_and_a_page) {
  running_server server;
  const auto response = request_once(server.port(), GetParam().request);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, GetParam().status);
  EXPECT_EQ(response->header("content-type"), "text/html; charset=utf-8");
  EXPECT_NE(response->body.find("<title>"), std::string::npos);
  if (GetParam().status == 405) {
    EXPECT_EQ(response->header("allow"), "GET, HEAD");
  }
}

const std::string query_target = "/tmbx/qutimu.php?w=%E4%B8%AD%E5%9B%BD";

std::string request(const std::string& method, const std::string& target, const std::string& extra = {}) {
  return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    routes, statuses,
    ::testing::Values(
        status_case{"query", request("GET", query_target), 200},
        status_case{"other_path", request("GET", "/tmbx/other.php?w=1"), 404},
        status_case{"root", request("GET", "/"), 404},
        status_case{"path_prefix", request("GET", "/tmbx/qutimu.php/extra?w=1"), 404},
        status_case{"post", request("POST", query_target, "Content-Length: 3\r\n") + "w=1", 405},
        status_case{"put", request("PUT", query_target, "Content-Length: 0\r\n"), 405},
        status_case{"delete", request("DELETE", query_target), 405},
        status_case{"options", request("OPTIONS", query_target), 405},
        status_case{"patch", request("PATCH", "/healthz"), 405},
        status_case{"post_elsewhere", request("POST", "/upload", "Content-Length: 2\r\n") + "hi", 404},
        status_case{"target_just_under_8_kib", request("GET", "/tmbx/qutimu.php?w=" + std::string(8000, 'x')), 200},
        status_case{"target_over_8_kib", request("GET", "/tmbx/qutimu.php?w=" + std::string(8192, 'x')), 414},
        status_case{"target_far_over_8_kib", request("GET", "/tmbx/qutimu.php?w=" + std::string(100000, 'x')), 414},
        status_case{"unknown_method", request("BREW", query_target), 400},
        status_case{"trace", request("TRACE", query_target), 405}),
    [](const ::testing::TestParamInfo<status_case>& info) { return info.param.name; });

TEST(head, answers_the_headers_of_get_without_a_body) {
  running_server server;
  const auto got = request_once(server.port(), request("GET", query_target));
  raw_connection connection(server.port());
  ASSERT_TRUE(connection.send(request("HEAD", query_target)));
  const auto head = connection.receive(true);
  ASSERT_TRUE(got && head);
  EXPECT_EQ(head->status, 200);
  EXPECT_EQ(head->header("content-type"), got->header("content-type"));
  EXPECT_EQ(head->header("content-length"), std::to_string(got->body.size()));
  // Nothing follows the headers: the same connection answers the next request at once.
  ASSERT_TRUE(connection.send(request("GET", "/healthz")));
  const auto next = connection.receive();
  ASSERT_TRUE(next);
  EXPECT_EQ(next->status, 200);
}

TEST(health, reports_the_bank_size) {
  running_server server;
  const auto response = request_once(server.port(), request("GET", "/healthz"));
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200);
  EXPECT_EQ(nlohmann::json::parse(response->body),
            (nlohmann::json{{"status", "ok"}, {"questions", sample_questions().size()}}));
}

TEST(keep_alive, serves_many_requests_on_one_connection) {
  running_server server;
  raw_connection connection(server.port());
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(connection.send(request("GET", i % 2 ? query_target : "/nowhere")));
    const auto response = connection.receive();
    ASSERT_TRUE(response) << i;
    EXPECT_EQ(response->status, i % 2 ? 200 : 404);
  }
}

TEST(access_log, writes_one_line_per_request_with_time_status_and_latency) {
  running_server server;
  const std::string requests[] = {request("GET", query_target), request("GET", "/missing"),
                                  request("POST", query_target, "Content-Length: 0\r\n"),
                                  request("GET", "/tmbx/qutimu.php?w=" + std::string(9000, 'x')), "NONSENSE\r\n\r\n"};
  for (const std::string& each : requests) ASSERT_TRUE(request_once(server.port(), each));
  const auto lines = server.log_lines(5);
  ASSERT_EQ(lines.size(), 5u);
  const std::regex line_format(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z \S+ \S+ \S+ (\d{3}) \d+\.\d{3}ms \d+B\n)");
  std::multiset<std::string> statuses;
  for (const std::string& line : lines) {
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(line, parts, line_format)) << line;
    statuses.insert(parts[1]);
    EXPECT_LT(line.size(), 400u) << "long targets are cut short";
  }
  EXPECT_EQ(statuses, (std::multiset<std::string>{"200", "404", "405", "414", "400"}));
}

TEST(access_log, cannot_be_forged_with_control_bytes) {
  running_server server;
  ASSERT_TRUE(request_once(server.port(), request("GET", "/tmbx/qutimu.php?w=a\x1b[31m\xD6\xD0")));
  const auto lines = server.log_lines(1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("w=a%1B[31m%D6%D0 200"), std::string::npos) << lines[0];
}

}  // namespace
}  // namespace chati::service::http::testing
