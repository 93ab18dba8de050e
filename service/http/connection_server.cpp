#include "connection_server.h"

#include "socket_stream.h"

namespace chati::service::http {
namespace {

// A request is served start to end on one worker, so its handlers and the loop in serve()
// share this flag.
thread_local bool close_requested = false;

}  // namespace

struct connection_server::connection {
  connection(int socket, const connection_limits& limits)
      : stream(socket, limits.read_timeout, limits.write_timeout) {}
  socket_stream stream;
  std::size_t requests = 0;
};

connection_server::connection_server(connection_limits limits) : limits_(limits) {
  new_task_queue = [this] {
    auto* pool = new connection_pool(limits_.core_threads, limits_.max_threads, std::chrono::seconds(10));
    pool_ = pool;
    return pool;
  };
}

void connection_server::close_after_response() { close_requested = true; }

bool connection_server::process_and_close_socket(int socket) {
  serve(std::make_shared<connection>(socket, limits_));
  return true;
}

void connection_server::serve(const std::shared_ptr<connection>& client) {
  for (;;) {
    if (svr_sock_ == INVALID_SOCKET) return;  // the server is stopping
    if (!client->stream.readable_within(client->requests == 0 ? std::chrono::milliseconds(0) : limits_.linger)) {
      // Nothing to do until the client sends its next request: give the worker back.
      if (connection_pool* pool = pool_.load()) {
        pool->park(client->stream.socket(), limits_.keep_alive_timeout, [this, client] { serve(client); });
      }
      return;
    }
    close_requested = false;
    bool client_closes = false;
    const bool last = ++client->requests >= limits_.keep_alive_max_requests;
    const bool served = process_request(client->stream, last, client_closes, nullptr);
    if (!served || client_closes || last || close_requested) return;
  }
}

}  // namespace chati::service::http
