#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include <httplib.h>

namespace chati::service::http {

// The server's workers. A worker can be held by a connection while it waits on the network
// (a slow client's request, a keep-alive client's next one), so a fixed pool can be starved
// by a few clients. This one keeps `core_threads` workers and, when a task has waited
// `growth_delay` while fewer than `core_threads` workers are doing anything but wait on the
// network, starts another, up to `max_threads`. So waiting clients never starve the others,
// yet when the workers are all busy computing (lookups), no threads are added that would only
// compete for the same cores. Workers beyond the core end after `spare_idle_time` without
// work.
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

  // Marks the calling worker, for its lifetime, as waiting on the network. Does nothing on a
  // thread that is not one of this pool's workers.
  class network_wait {
   public:
    network_wait();
    ~network_wait();
    network_wait(const network_wait&) = delete;
    network_wait& operator=(const network_wait&) = delete;

   private:
    elastic_task_queue* queue_;
  };

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
  std::atomic<std::size_t> waiting_on_network_{0};
  bool shutting_down_ = false;
  std::thread grower_;
};

}  // namespace chati::service::http
