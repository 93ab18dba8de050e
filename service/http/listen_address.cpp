#include "listen_address.h"

#include <charconv>

namespace chati::service::http {

std::optional<listen_address> parse_listen_address(std::string_view text) {
  const auto colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view host = text.substr(0, colon);
  const std::string_view port_text = text.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  } else if (host.find(':') != std::string_view::npos) {
    return std::nullopt;  // an IPv6 address needs brackets to tell it from the port
  }
  if (host.empty() || port_text.empty() || port_text.size() > 5) return std::nullopt;
  int port = 0;
  const auto [end, error] = std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
  if (error != std::errc{} || end != port_text.data() + port_text.size() || port < 0 || port > 65535) {
    return std::nullopt;
  }
  return listen_address{std::string(host), port};
}

std::string to_string(const listen_address& address) {
  const bool ipv6 = address.host.find(':') != std::string::npos;
  return (ipv6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

}  // namespace chati::service::http
