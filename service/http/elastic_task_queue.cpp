#include "elastic_task_queue.h"

#include <thread>

namespace chati::service::http {

elastic_task_queue::elastic_task_queue(std::size_t core_threads, std::size_t max_threads,
                                       std::chrono::milliseconds spare_idle_time)
    : core_threads_(std::max<std::size_t>(core_threads, 1)),
      max_threads_(std::max(max_threads, core_threads_)),
      spare_idle_time_(spare_idle_time) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < core_threads_; ++i) start_worker();
}

elastic_task_queue::~elastic_task_queue() { shutdown(); }

void elastic_task_queue::start_worker() {
  ++threads_;
  ++idle_threads_;
  // Detached: a worker's last touch of this object is under mutex_, and shutdown() waits for
  // all of them to get there, so none outlives the queue.
  std::thread([this] { work(); }).detach();
}

void elastic_task_queue::enqueue(std::function<void()> task) {
  std::lock_guard lock(mutex_);
  if (shutting_down_) return;
  tasks_.push_back(std::move(task));
  if (tasks_.size() > idle_threads_ && threads_ < max_threads_) start_worker();
  task_ready_.notify_one();
}

void elastic_task_queue::shutdown() {
  std::unique_lock lock(mutex_);
  shutting_down_ = true;
  task_ready_.notify_all();
  all_ended_.wait(lock, [this] { return threads_ == 0; });
}

std::size_t elastic_task_queue::thread_count() const {
  std::lock_guard lock(mutex_);
  return threads_;
}

void elastic_task_queue::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    const bool spare = threads_ > core_threads_;
    const auto has_work = [this] { return !tasks_.empty() || shutting_down_; };
    if (spare) {
      if (!task_ready_.wait_for(lock, spare_idle_time_, has_work)) break;
    } else {
      task_ready_.wait(lock, has_work);
    }
    if (tasks_.empty()) break;  // shutting down with nothing left to run
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    --idle_threads_;
    lock.unlock();
    task();
    task = nullptr;
    lock.lock();
    ++idle_threads_;
  }
  --idle_threads_;
  --threads_;
  if (threads_ == 0) all_ended_.notify_all();
}

}  // namespace chati::service::http
