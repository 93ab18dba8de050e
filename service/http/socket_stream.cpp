#include "socket_stream.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "elastic_task_queue.h"

namespace chati::service::http {
namespace {

constexpr std::size_t buffer_size = 4096;

bool wait_for(int socket, short events, int timeout_ms) {
  pollfd ready{socket, events, 0};
  // While this worker only waits, the pool may start another for other connections.
  const elastic_task_queue::network_wait waiting;
  for (;;) {
    const int polled = ::poll(&ready, 1, timeout_ms);
    if (polled < 0 && errno == EINTR) continue;
    return polled > 0;
  }
}

void address_of(const sockaddr_storage& address, socklen_t length, std::string& ip, int& port) {
  char host[NI_MAXHOST];
  char service[NI_MAXSERV];
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, service,
                    sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
    ip = host;
    port = std::atoi(service);
  }
}

}  // namespace

socket_stream::socket_stream(int socket, std::chrono::milliseconds read_timeout,
                             std::chrono::milliseconds write_timeout)
    : socket_(socket),
      read_timeout_ms_(static_cast<int>(read_timeout.count())),
      write_timeout_ms_(static_cast<int>(write_timeout.count())),
      buffer_(buffer_size) {
  // A response is written in pieces; with Nagle's algorithm the last one waits for the
  // client's delayed ACK, about 40 ms on every keep-alive request.
  const int yes = 1;
  ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    address_of(address, length, remote_ip_, remote_port_);
  }
}

socket_stream::~socket_stream() {
  ::shutdown(socket_, SHUT_RDWR);
  ::close(socket_);
}

bool socket_stream::is_readable() const {
  return has_buffered_input() || wait_for(socket_, POLLIN, read_timeout_ms_);
}

bool socket_stream::is_writable() const { return wait_for(socket_, POLLOUT, write_timeout_ms_); }

bool socket_stream::readable_within(std::chrono::milliseconds wait) const {
  return has_buffered_input() || wait_for(socket_, POLLIN, static_cast<int>(wait.count()));
}

ssize_t socket_stream::read(char* destination, size_t size) {
  if (!has_buffered_input()) {
    if (!is_readable()) return -1;
    ssize_t got;
    do {
      got = ::recv(socket_, buffer_.data(), buffer_.size(), 0);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return got;
    buffer_start_ = 0;
    buffer_end_ = static_cast<std::size_t>(got);
  }
  const std::size_t taken = std::min(size, buffer_end_ - buffer_start_);
  std::memcpy(destination, buffer_.data() + buffer_start_, taken);
  buffer_start_ += taken;
  return static_cast<ssize_t>(taken);
}

ssize_t socket_stream::write(const char* source, size_t size) {
  if (!is_writable()) return -1;
  ssize_t sent;
  do {
    sent = ::send(socket_, source, size, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent;
}

void socket_stream::get_remote_ip_and_port(std::string& ip, int& port) const {
  ip = remote_ip_;
  port = remote_port_;
}

void socket_stream::get_local_ip_and_port(std::string& ip, int& port) const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0) address_of(address, length, ip, port);
}

}  // namespace chati::service::http
