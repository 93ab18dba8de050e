#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace chati::service::http {

struct listen_address {
  std::string host;  // as given, without brackets around an IPv6 address
  int port = 0;      // 0 asks the system for a free port
};

// Parses "HOST:PORT" or "[IPV6]:PORT". Nothing when it is not of that form or the port is not
// in 0..65535.
std::optional<listen_address> parse_listen_address(std::string_view text);

// "HOST:PORT", with brackets around an IPv6 host.
std::string to_string(const listen_address& address);

}  // namespace chati::service::http
