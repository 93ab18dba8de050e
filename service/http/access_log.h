#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace chati::service::http {

// Where access-log lines go; each call gets one whole line, newline included.
using log_sink = std::function<void(std::string_view line)>;

// Writes each line to stderr with a single write(2), so lines from concurrent requests never
// interleave.
log_sink stderr_log_sink();

struct access_record {
  std::chrono::system_clock::time_point time;
  std::string_view remote_address;
  std::string_view method;
  std::string_view target;
  int status = 0;
  std::chrono::nanoseconds latency{};
  std::size_t body_bytes = 0;
};

// One access-log line: "2026-01-31T12:00:00.123Z 127.0.0.1 GET /path 200 0.214ms 1234B\n".
// The method and target are cut short and every byte outside printable ASCII is shown as %XX,
// so a request cannot forge or break log lines.
std::string format_access_line(const access_record& record);

}  // namespace chati::service::http
