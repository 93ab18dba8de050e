#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

#include <httplib.h>

#include "elastic_task_queue.h"
#include "idle_parking.h"

namespace chati::service::http {

// The server's task queue: workers for connections with a request to serve, and a parking
// place where idle keep-alive connections wait without holding a worker.
class connection_pool final : public httplib::TaskQueue {
 public:
  connection_pool(std::size_t core_threads, std::size_t max_threads, std::chrono::milliseconds spare_idle_time);

  void enqueue(std::function<void()> task) override { workers_.enqueue(std::move(task)); }
  void shutdown() override;

  // Runs `resume` on a worker once `socket` is readable; drops it (so what it owns is released)
  // after `timeout` or when the pool shuts down.
  void park(int socket, std::chrono::milliseconds timeout, std::function<void()> resume);

 private:
  elastic_task_queue workers_;
  idle_parking parking_;
};

}  // namespace chati::service::http
