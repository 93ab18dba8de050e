// Connections that clients open and leave idle must not keep a real query waiting.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "raw_http.h"
#include "running_server.h"

namespace chati::service::http::testing {
namespace {

TEST(idle_connections, hundreds_held_open_do_not_starve_a_query) {
  server_settings settings;
  // Idle connections may hold on far longer than the query waits below, so a server that
  // parks each on a worker of a fixed pool cannot pass by letting them time out first.
  settings.keep_alive_timeout = std::chrono::seconds(120);
  settings.read_timeout = std::chrono::seconds(120);
  running_server server(sample_questions(), settings);

  constexpr int silent = 200;       // connected, never sent a byte
  constexpr int kept_alive = 200;   // one request answered, then left open
  std::vector<std::unique_ptr<raw_connection>> idle;
  for (int i = 0; i < silent + kept_alive; ++i) {
    idle.push_back(std::make_unique<raw_connection>(server.port()));
    ASSERT_TRUE(idle.back()->connected()) << i;
  }
  for (int i = silent; i < silent + kept_alive; ++i) {
    ASSERT_TRUE(idle[i]->send(get_request("/healthz"))) << i;
    const auto response = idle[i]->receive();
    ASSERT_TRUE(response) << "idle connection " << i << " was not answered";
    EXPECT_EQ(response->status, 200);
  }

  raw_connection query(server.port(), std::chrono::seconds(30));
  ASSERT_TRUE(query.send(get_request("/tmbx/qutimu.php?w=%E4%B8%AD%E5%9B%BD%E7%9A%84%E9%A6%96%E9%83%BD")));
  const auto response = query.receive();
  ASSERT_TRUE(response) << "a query behind idle connections was not answered";
  EXPECT_EQ(response->status, 200);
  EXPECT_NE(response->body.find("答案：北京"), std::string::npos);

  // The idle ones still work when they wake up.
  ASSERT_TRUE(idle.front()->send(get_request("/healthz")));
  const auto late = idle.front()->receive();
  ASSERT_TRUE(late);
  EXPECT_EQ(late->status, 200);
}

TEST(idle_connections, are_closed_after_the_keep_alive_time_out) {
  server_settings settings;
  settings.keep_alive_timeout = std::chrono::seconds(1);
  running_server server(sample_questions(), settings);
  raw_connection silent(server.port());
  raw_connection answered(server.port());
  ASSERT_TRUE(answered.send(get_request("/healthz")));
  ASSERT_TRUE(answered.receive());
  EXPECT_TRUE(silent.closed_by_server());
  EXPECT_TRUE(answered.closed_by_server());
}

TEST(idle_connections, pipelined_requests_are_all_answered_in_order) {
  running_server server;
  raw_connection connection(server.port());
  ASSERT_TRUE(connection.send(get_request("/healthz") + get_request("/nowhere") +
                              get_request("/tmbx/qutimu.php?w=%E4%B8%AD%E5%9B%BD%E7%9A%84%E9%A6%96%E9%83%BD")));
  for (const int status : {200, 404, 200}) {
    const auto response = connection.receive();
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, status);
  }
}

}  // namespace
}  // namespace chati::service::http::testing
