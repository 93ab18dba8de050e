#include "connection_pool.h"

namespace chati::service::http {

connection_pool::connection_pool(std::size_t core_threads, std::size_t max_threads,
                                 std::chrono::milliseconds spare_idle_time)
    : workers_(core_threads, max_threads, spare_idle_time),
      parking_([this](std::function<void()> resume) { workers_.enqueue(std::move(resume)); }) {}

void connection_pool::shutdown() {
  parking_.stop();
  workers_.shutdown();
}

void connection_pool::park(int socket, std::chrono::milliseconds timeout, std::function<void()> resume) {
  parking_.park(socket, timeout, std::move(resume));
}

}  // namespace chati::service::http
