#include "idle_parking.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace chati::service::http {
namespace {

// How often idle connections are checked against their time-outs.
constexpr int sweep_interval_ms = 250;

}  // namespace

idle_parking::idle_parking(dispatcher dispatch) : dispatch_(std::move(dispatch)) {
  epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
  wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (epoll_ < 0 || wake_ < 0) throw std::runtime_error("cannot create the epoll set for idle connections");
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = wake_;
  ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event);
  watcher_ = std::thread([this] { watch(); });
}

idle_parking::~idle_parking() {
  stop();
  ::close(wake_);
  ::close(epoll_);
}

bool idle_parking::park(int socket, std::chrono::milliseconds timeout, std::function<void()> resume) {
  std::unique_lock lock(mutex_);
  if (stopped_) return false;
  auto& entry = parked_[socket];
  entry = {std::chrono::steady_clock::now() + timeout, std::move(resume)};
  epoll_event event{};
  event.events = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
  event.data.fd = socket;
  if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, socket, &event) != 0) {
    parked_.erase(socket);
    return false;
  }
  return true;
}

void idle_parking::stop() {
  std::map<int, parked> dropped;
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
    for (const auto& [socket, entry] : parked_) ::epoll_ctl(epoll_, EPOLL_CTL_DEL, socket, nullptr);
    dropped.swap(parked_);
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
  watcher_.join();
}

void idle_parking::watch() {
  std::vector<epoll_event> events(256);
  for (;;) {
    const int count = ::epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), sweep_interval_ms);
    if (count < 0 && errno != EINTR) return;
    std::vector<std::function<void()>> ready;
    std::vector<std::function<void()>> expired;
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
      for (int i = 0; i < count; ++i) {
        const int socket = events[static_cast<std::size_t>(i)].data.fd;
        const auto found = parked_.find(socket);
        if (socket == wake_ || found == parked_.end()) continue;
        ::epoll_ctl(epoll_, EPOLL_CTL_DEL, socket, nullptr);
        ready.push_back(std::move(found->second.resume));
        parked_.erase(found);
      }
      const auto now = std::chrono::steady_clock::now();
      for (auto it = parked_.begin(); it != parked_.end();) {
        if (it->second.deadline > now) {
          ++it;
          continue;
        }
        ::epoll_ctl(epoll_, EPOLL_CTL_DEL, it->first, nullptr);
        expired.push_back(std::move(it->second.resume));
        it = parked_.erase(it);
      }
    }
    for (auto& resume : ready) dispatch_(std::move(resume));
    // `expired` goes out of scope here, closing those connections outside the lock.
  }
}

}  // namespace chati::service::http
