#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>

#include <httplib.h>

#include "connection_pool.h"

namespace chati::service::http {

struct connection_limits {
  std::size_t core_threads = 4;
  std::size_t max_threads = 1024;
  std::chrono::milliseconds keep_alive_timeout{5000};
  std::chrono::milliseconds read_timeout{5000};
  std::chrono::milliseconds write_timeout{5000};
  std::size_t keep_alive_max_requests = 1000;
  // How long a worker waits for a connection's next request before parking it.
  std::chrono::milliseconds linger{0};
};

// cpp-httplib's server with its handling of connections replaced. The library keeps a worker
// on every keep-alive connection and waits for its next request in a loop that wakes every
// 10 ms: 500 idle connections cost a whole core and 500 threads. Here a connection between
// requests is parked without a worker (connection_pool), and a request refused in a way that
// leaves its connection unusable (an unread body, an unparsable line) closes it.
class connection_server final : public httplib::Server {
 public:
  explicit connection_server(connection_limits limits);

  // Called by a handler: close the connection once the current response is written.
  static void close_after_response();

 private:
  struct connection;

  bool process_and_close_socket(int socket) override;
  void serve(const std::shared_ptr<connection>& connection);

  const connection_limits limits_;
  std::atomic<connection_pool*> pool_{nullptr};
};

}  // namespace chati::service::http
