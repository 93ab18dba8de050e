#include "raw_http.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace chati::service::http::testing {

raw_connection::raw_connection(int port, std::chrono::milliseconds timeout) {
  socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (socket_ < 0) return;
  timeval limit{};
  limit.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  limit.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
  ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(socket_);
    socket_ = -1;
  }
}

raw_connection::~raw_connection() {
  if (socket_ >= 0) ::close(socket_);
}

bool raw_connection::send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool raw_connection::fill() {
  char chunk[16384];
  for (;;) {
    const ssize_t got = ::recv(socket_, chunk, sizeof chunk, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(got));
    return true;
  }
}

std::optional<raw_response> raw_connection::receive(bool head_request) {
  std::size_t header_end;
  while ((header_end = buffer_.find("\r\n\r\n")) == std::string::npos) {
    if (!fill()) return std::nullopt;
  }
  raw_response response;
  const std::string head = buffer_.substr(0, header_end);
  buffer_.erase(0, header_end + 4);
  std::size_t line_end = head.find("\r\n");
  const std::string status_line = head.substr(0, line_end);
  if (status_line.size() < 12 || !status_line.starts_with("HTTP/1.")) return std::nullopt;
  response.status = std::stoi(status_line.substr(9, 3));
  while (line_end != std::string::npos) {
    const std::size_t start = line_end + 2;
    line_end = head.find("\r\n", start);
    const std::string line = head.substr(start, line_end == std::string::npos ? std::string::npos : line_end - start);
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    // Repeated headers are joined as a list, the way HTTP reads them.
    auto& slot = response.headers[name];
    slot = slot.empty() ? value : slot + ", " + value;
  }
  const std::string length = response.header("content-length");
  const std::size_t body_length = head_request || length.empty() ? 0 : std::stoul(length);
  while (buffer_.size() < body_length) {
    if (!fill()) return std::nullopt;
  }
  response.body = buffer_.substr(0, body_length);
  buffer_.erase(0, body_length);
  return response;
}

bool raw_connection::closed_by_server() {
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::recv(socket_, chunk, sizeof chunk, 0);
    if (got > 0) continue;
    if (got == 0) return true;
    if (errno == EINTR) continue;
    return errno != EAGAIN && errno != EWOULDBLOCK;  // a reset closes too; a time-out does not
  }
}

std::optional<raw_response> request_once(int port, std::string_view request, bool head_request) {
  raw_connection connection(port);
  if (!connection.connected() || !connection.send(request)) return std::nullopt;
  return connection.receive(head_request);
}

std::string percent_encode_all(std::string_view bytes) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += '%';
    out += hex[byte >> 4];
    out += hex[byte & 15];
  }
  return out;
}

std::string get_request(std::string_view target, std::string_view extra_headers) {
  std::string request = "GET ";
  request += target;
  request += " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  request += extra_headers;
  request += "\r\n";
  return request;
}

}  // namespace chati::service::http::testing
