#include "access_log.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace chati::service::http {
namespace {

constexpr std::size_t target_shown = 256;
constexpr std::size_t method_shown = 16;

void append_printable(std::string& out, std::string_view text, std::size_t limit) {
  const bool cut = text.size() > limit;
  if (cut) text = text.substr(0, limit);
  if (text.empty()) {
    out += '-';
    return;
  }
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  if (cut) out += "...";
}

}  // namespace

log_sink stderr_log_sink() {
  return [](std::string_view line) {
    while (!line.empty()) {
      const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return;  // a closed stderr must not take the service down
      line.remove_prefix(static_cast<std::size_t>(written));
    }
  };
}

std::string format_access_line(const access_record& record) {
  using namespace std::chrono;
  const auto since_epoch = record.time.time_since_epoch();
  const std::time_t seconds = duration_cast<std::chrono::seconds>(since_epoch).count();
  const auto millis = duration_cast<milliseconds>(since_epoch).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char time_text[40];
  std::strftime(time_text, sizeof time_text, "%Y-%m-%dT%H:%M:%S", &utc);

  std::string line;
  line.reserve(128 + record.target.size());
  line += time_text;
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03dZ ", static_cast<int>(millis));
  line += fraction;
  append_printable(line, record.remote_address, 64);
  line += ' ';
  append_printable(line, record.method, method_shown);
  line += ' ';
  append_printable(line, record.target, target_shown);
  char tail[64];
  std::snprintf(tail, sizeof tail, " %d %.3fms %zuB\n", record.status,
                duration<double, std::milli>(record.latency).count(), record.body_bytes);
  line += tail;
  return line;
}

}  // namespace chati::service::http
