#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

#include <httplib.h>

namespace chati::service::http {

// The server's worker pool. cpp-httplib gives each connection to one worker for its whole life,
// and a keep-alive connection holds its worker while it sits idle. A fixed pool is therefore
// starved by a handful of idle clients; this one keeps `core_threads` workers and starts another
// whenever a connection arrives and none is free, up to `max_threads`. Workers beyond the core
// end after `spare_idle_time` without work.
class elastic_task_queue final : public httplib::TaskQueue {
 public:
  elastic_task_queue(std::size_t core_threads, std::size_t max_threads,
                     std::chrono::milliseconds spare_idle_time);
  ~elastic_task_queue() override;

  elastic_task_queue(const elastic_task_queue&) = delete;
  elastic_task_queue& operator=(const elastic_task_queue&) = delete;

  void enqueue(std::function<void()> task) override;

  // Runs what is queued, then waits for every worker to end.
  void shutdown() override;

  std::size_t thread_count() const;

 private:
  void start_worker();  // needs mutex_ held
  void work();

  const std::size_t core_threads_;
  const std::size_t max_threads_;
  const std::chrono::milliseconds spare_idle_time_;

  mutable std::mutex mutex_;
  std::condition_variable task_ready_;
  std::condition_variable all_ended_;
  std::deque<std::function<void()>> tasks_;
  std::size_t threads_ = 0;
  std::size_t idle_threads_ = 0;
  bool shutting_down_ = false;
};

}  // namespace chati::service::http
