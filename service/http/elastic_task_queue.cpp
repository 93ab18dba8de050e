#include "elastic_task_queue.h"

#include <algorithm>

namespace chati::service::http {
namespace {

thread_local elastic_task_queue* current_queue = nullptr;

}  // namespace

elastic_task_queue::network_wait::network_wait() : queue_(current_queue) {
  if (queue_ != nullptr) ++queue_->waiting_on_network_;
}

elastic_task_queue::network_wait::~network_wait() {
  if (queue_ != nullptr) --queue_->waiting_on_network_;
}

elastic_task_queue::elastic_task_queue(std::size_t core_threads, std::size_t max_threads,
                                       std::chrono::milliseconds spare_idle_time,
                                       std::chrono::microseconds growth_delay)
    : core_threads_(std::max<std::size_t>(core_threads, 1)),
      max_threads_(std::max(max_threads, core_threads_)),
      spare_idle_time_(spare_idle_time),
      growth_delay_(growth_delay) {
  {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < core_threads_; ++i) start_worker();
  }
  grower_ = std::thread([this] { grow_when_starved(); });
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
  tasks_.push_back({std::move(task), std::chrono::steady_clock::now()});
  task_ready_.notify_one();
  if (tasks_.size() == 1) task_queued_.notify_one();
}

void elastic_task_queue::shutdown() {
  std::unique_lock lock(mutex_);
  if (!shutting_down_) {
    shutting_down_ = true;
    task_ready_.notify_all();
    task_queued_.notify_all();
  }
  all_ended_.wait(lock, [this] { return threads_ == 0; });
  if (grower_.joinable()) {
    lock.unlock();
    grower_.join();
  }
}

void elastic_task_queue::grow_when_starved() {
  std::unique_lock lock(mutex_);
  while (!shutting_down_) {
    if (tasks_.empty()) {
      task_queued_.wait(lock);
      continue;
    }
    const auto due = tasks_.front().queued + growth_delay_;
    if (std::chrono::steady_clock::now() < due) {
      task_queued_.wait_until(lock, due);
      continue;
    }
    // The oldest task has waited: every worker is busy. Another helps only if some of them
    // are merely waiting on the network.
    const std::size_t computing = threads_ - idle_threads_ - std::min(waiting_on_network_.load(), threads_ - idle_threads_);
    if (threads_ < max_threads_ && computing < core_threads_) start_worker();
    // Give the worker (or a busy one) time to take it before judging again.
    task_queued_.wait_for(lock, growth_delay_);
  }
}

void elastic_task_queue::work() {
  current_queue = this;
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
    auto task = std::move(tasks_.front().run);
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
