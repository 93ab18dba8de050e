#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include <httplib.h>

namespace chati::service::http {

// The server's workers. A worker can be held by a connection for a while (reading a slow
// client's request, waiting briefly for its next one), so a fixed pool can be starved by a
// few clients. This one keeps `core_threads` workers and, whenever a task has waited
// `growth_delay` because every worker is busy, starts another, up to `max_threads`. Waiting
// that little before growing keeps a burst of short tasks (hundreds of connections opened at
// once) from starting hundreds of threads. Workers beyond the core end after
// `spare_idle_time` without work.
class elastic_task_queue final : public httplib::TaskQueue {
 public:
  elastic_task_queue(std::size_t core_threads, std::size_t max_threads, std::chrono::milliseconds spare_idle_time,
                     std::chrono::microseconds growth_delay = std::chrono::milliseconds(1));
  ~elastic_task_queue() override;

  elastic_task_queue(const elastic_task_queue&) = delete;
  elastic_task_queue& operator=(const elastic_task_queue&) = delete;

  void enqueue(std::function<void()> task) override;

  // Runs what is queued, then waits for every worker to end.
  void shutdown() override;

 private:
  struct queued_task {
    std::function<void()> run;
    std::chrono::steady_clock::time_point queued;
  };

  void start_worker();  // needs mutex_ held
  void work();
  void grow_when_starved();

  const std::size_t core_threads_;
  const std::size_t max_threads_;
  const std::chrono::milliseconds spare_idle_time_;
  const std::chrono::microseconds growth_delay_;

  std::mutex mutex_;
  std::condition_variable task_ready_;
  std::condition_variable task_queued_;  // wakes the thread that grows the pool
  std::condition_variable all_ended_;
  std::deque<queued_task> tasks_;
  std::size_t threads_ = 0;
  std::size_t idle_threads_ = 0;
  bool shutting_down_ = false;
  std::thread grower_;
};

}  // namespace chati::service::http
