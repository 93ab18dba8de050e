#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace chati::service::http::testing {

// A response as it came off the wire.
struct raw_response {
  int status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  std::string header(const std::string& lower_case_name) const {
    const auto found = headers.find(lower_case_name);
    return found == headers.end() ? std::string() : found->second;
  }
};

// A TCP connection to 127.0.0.1 that sends exactly the bytes it is given: no client library
// in between to tidy up the request.
class raw_connection {
 public:
  explicit raw_connection(int port, std::chrono::milliseconds timeout = std::chrono::seconds(20));
  ~raw_connection();
  raw_connection(const raw_connection&) = delete;
  raw_connection& operator=(const raw_connection&) = delete;

  bool connected() const { return socket_ >= 0; }
  bool send(std::string_view bytes);
  // Reads one response (by Content-Length; a HEAD request's has no body). Nothing when the
  // connection closes or times out first.
  std::optional<raw_response> receive(bool head_request = false);
  // Whether the server closed the connection (reads until end of stream or time-out).
  bool closed_by_server();

 private:
  bool fill();  // reads more into buffer_; false on end, error or time-out

  int socket_ = -1;
  std::string buffer_;
};

// Sends `request` on a new connection and reads one response.
std::optional<raw_response> request_once(int port, std::string_view request, bool head_request = false);

// Every byte as %XX: a way to send any bytes in `w`.
std::string percent_encode_all(std::string_view bytes);

// "GET <target> HTTP/1.1" with a Host header and the extra header lines given (each ending in
// "\r\n").
std::string get_request(std::string_view target, std::string_view extra_headers = {});

}  // namespace chati::service::http::testing
