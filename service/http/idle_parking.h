#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace chati::service::http {

// Keeps idle keep-alive connections waiting without a worker each: one thread watches them all
// with epoll, hands a connection back (`dispatch(resume)`) when its next request arrives, and
// drops it when it stays idle past its time-out. Dropping a resume function closes the
// connection it owns.
class idle_parking {
 public:
  using dispatcher = std::function<void(std::function<void()>)>;

  explicit idle_parking(dispatcher dispatch);
  ~idle_parking();
  idle_parking(const idle_parking&) = delete;
  idle_parking& operator=(const idle_parking&) = delete;

  // False when parking is closed (stopping); `resume` is then dropped at once.
  bool park(int socket, std::chrono::milliseconds timeout, std::function<void()> resume);

  // Drops every parked connection and ends the watching thread.
  void stop();

 private:
  struct parked {
    std::chrono::steady_clock::time_point deadline;
    std::function<void()> resume;
  };

  void watch();

  dispatcher dispatch_;
  int epoll_ = -1;
  int wake_ = -1;  // eventfd that interrupts epoll_wait on stop
  std::mutex mutex_;
  std::map<int, parked> parked_;
  bool stopped_ = false;
  std::thread watcher_;
};

}  // namespace chati::service::http
