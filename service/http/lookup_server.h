#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include <httplib.h>

#include "access_log.h"
#include "connection_server.h"
#include "listen_address.h"
#include "lookup.h"

namespace chati::service::http {

struct server_settings {
  // Workers always kept: enough to keep the cores busy while some wait on the network.
  std::size_t core_threads = default_core_threads();
  // The most requests in progress at once (idle connections hold no worker); more wait.
  std::size_t max_threads = 1024;
  // How long a connection may stay idle between requests, and wait on a client that stops
  // sending mid-request.
  std::chrono::seconds keep_alive_timeout{5};
  std::chrono::seconds read_timeout{5};
  std::size_t keep_alive_max_requests = 1000;
  // How long a worker stays with a connection for its next request before parking it: a busy
  // client's next request usually comes sooner, and handing it over costs more than waiting.
  std::chrono::milliseconds linger{20};
  log_sink access_log = stderr_log_sink();  // empty: no access log

  static std::size_t default_core_threads();
};

struct bind_result {
  std::optional<int> port;  // the port actually bound
  std::string error;        // why not, for the user
};

// The lookup service over HTTP: GET /tmbx/qutimu.php?w=..., GET /healthz. The index must
// outlive the server.
class lookup_server {
 public:
  explicit lookup_server(const question_index& index, server_settings settings = {});
  ~lookup_server();

  lookup_server(const lookup_server&) = delete;
  lookup_server& operator=(const lookup_server&) = delete;

  // Opens the listening socket; connections are queued from then on, so the address can be
  // announced before run().
  bind_result bind(const listen_address& address);

  // Serves until stop(). False when it could not (not bound).
  bool run();

  // Stops serving from any thread; run() then returns.
  void stop();

 private:
  void install_routes();

  const question_index& index_;
  server_settings settings_;
  connection_server server_;
  int listening_socket_ = -1;
  std::atomic<bool> run_requested_{false};
  std::atomic<bool> run_finished_{false};
  std::atomic<bool> stopping_{false};
};

}  // namespace chati::service::http
