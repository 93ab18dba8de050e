#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include <httplib.h>

namespace chati::service::http {

// One accepted connection as cpp-httplib reads and writes it, owning the socket (shut down and
// closed on destruction). Reads are buffered; has_buffered_input() tells whether a request
// already sent is waiting, so the connection is not put to sleep with work in hand.
class socket_stream final : public httplib::Stream {
 public:
  socket_stream(int socket, std::chrono::milliseconds read_timeout, std::chrono::milliseconds write_timeout);
  ~socket_stream() override;
  socket_stream(const socket_stream&) = delete;
  socket_stream& operator=(const socket_stream&) = delete;

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* destination, size_t size) override;
  ssize_t write(const char* source, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  int socket() const override { return socket_; }

  bool has_buffered_input() const { return buffer_start_ < buffer_end_; }
  // Whether bytes (or the end of the stream) can be read within `wait`.
  bool readable_within(std::chrono::milliseconds wait) const;

 private:
  int socket_;
  std::string remote_ip_;  // asked once: cpp-httplib wants it for every request
  int remote_port_ = -1;
  int read_timeout_ms_;
  int write_timeout_ms_;
  std::vector<char> buffer_;
  std::size_t buffer_start_ = 0;
  std::size_t buffer_end_ = 0;
};

}  // namespace chati::service::http
