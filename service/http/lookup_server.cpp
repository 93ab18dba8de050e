#include "lookup_server.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <thread>

#include "accept_header.h"
#include "answer_json.h"
#include "query_endpoint.h"

namespace chati::service::http {
namespace {

using steady = std::chrono::steady_clock;

constexpr std::string_view query_path = "/tmbx/qutimu.php";
constexpr std::string_view health_path = "/healthz";

// cpp-httplib caps each header line but not their number; the client sends a handful.
constexpr std::size_t max_header_count = 100;
constexpr std::size_t max_header_bytes = 32 * 1024;

// Each connection is served by one worker from start to end, so a thread-local clock follows
// the request from its parsed header to its logged response.
thread_local std::optional<steady::time_point> request_started;

answer_format format_of(const httplib::Request& request) {
  return accepts_json(request.get_header_value("Accept")) ? answer_format::json : answer_format::html;
}

void send(httplib::Response& response, http_answer answer) {
  response.status = answer.status;
  response.body = std::move(answer.body);
  response.set_header("Content-Type", answer.content_type);
}

// The service reads no request body; one left unread would be parsed as the next request.
bool carries_body(const httplib::Request& request) {
  if (request.has_header("Transfer-Encoding")) return true;
  const std::string length = request.get_header_value("Content-Length");
  return !length.empty() && length.find_first_not_of('0') != std::string::npos;
}

std::size_t header_bytes(const httplib::Request& request) {
  std::size_t total = 0;
  for (const auto& [name, value] : request.headers) total += name.size() + value.size() + 4;
  return total;
}

std::string_view message_for(int status) {
  switch (status) {
    case 400: return "请求的格式不正确。";
    case 404: return "没有这个页面。查题的地址是 /tmbx/qutimu.php?w=题目";
    case 405: return "这个地址只接受 GET 和 HEAD 请求。";
    case 413: return "这个服务不接受请求正文。";
    case 414: return "请求的地址太长（超过 8 KiB），请缩短题目后再查。";
    case 431: return "请求头太大。";
    case 500: return "服务内部出错，请稍后再试。";
    default: return "无法处理这个请求。";
  }
}

// Why binding `address` fails, found by trying it on a socket of our own: cpp-httplib only
// says that it failed.
std::string explain_bind_failure(const listen_address& address) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(address.port);
  const int lookup = getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found);
  if (lookup != 0) return "cannot resolve host '" + address.host + "': " + gai_strerror(lookup);
  std::string why = "cannot listen on " + to_string(address);
  for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    const int probe = ::socket(entry->ai_family, entry->ai_socktype, entry->ai_protocol);
    if (probe < 0) continue;
    const int yes = 1;
    ::setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    const bool bound = ::bind(probe, entry->ai_addr, entry->ai_addrlen) == 0;
    const int error = errno;
    ::close(probe);
    if (bound) continue;
    if (error == EADDRINUSE) {
      why = "port " + port + " on " + address.host + " is already in use (is another chati-server running?)";
    } else {
      why = "cannot listen on " + to_string(address) + ": " + std::strerror(error);
    }
    break;
  }
  freeaddrinfo(found);
  return why;
}

connection_limits limits_of(const server_settings& settings) {
  connection_limits limits;
  limits.core_threads = settings.core_threads;
  limits.max_threads = settings.max_threads;
  limits.keep_alive_timeout = settings.keep_alive_timeout;
  limits.read_timeout = settings.read_timeout;
  limits.write_timeout = settings.read_timeout;
  limits.keep_alive_max_requests = settings.keep_alive_max_requests;
  limits.linger = settings.linger;
  return limits;
}

}  // namespace

std::size_t server_settings::default_core_threads() {
  return std::max<std::size_t>(4, 2 * std::thread::hardware_concurrency());
}

lookup_server::lookup_server(const question_index& index, server_settings settings)
    : index_(index), settings_(std::move(settings)), server_(limits_of(settings_)) {
  server_.set_tcp_nodelay(true);
  // SO_REUSEADDR only: the default SO_REUSEPORT would let a second server bind a port that is
  // already serving. The socket is kept to widen its backlog after bind.
  server_.set_socket_options([this](int socket) {
    const int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    listening_socket_ = socket;
  });
  server_.set_payload_max_length(64 * 1024);
  install_routes();
}

lookup_server::~lookup_server() {
  stop();
  // A socket bound but never served is not closed by cpp-httplib.
  if (!run_requested_ && listening_socket_ >= 0) ::close(listening_socket_);
}

void lookup_server::install_routes() {
  server_.set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
    request_started = steady::now();
    const answer_format format = format_of(request);
    const bool ours = request.path == query_path || request.path == health_path;
    int refusal = 0;
    if (request.headers.size() > max_header_count || header_bytes(request) > max_header_bytes) {
      refusal = 431;
    } else if (request.method != "GET" && request.method != "HEAD") {
      refusal = ours ? 405 : 404;
    } else if (carries_body(request)) {
      refusal = 400;
    }
    if (refusal == 0) return httplib::Server::HandlerResponse::Unhandled;
    const std::string_view message =
        refusal == 400 ? "GET 和 HEAD 请求不能带正文。" : message_for(refusal);
    send(response, answer_error(refusal, message, format));
    if (refusal == 405) response.set_header("Allow", "GET, HEAD");
    if (carries_body(request) || refusal == 431) {
      response.set_header("Connection", "close");
      connection_server::close_after_response();
    }
    return httplib::Server::HandlerResponse::Handled;
  });

  server_.Get(std::string(query_path), [this](const httplib::Request& request, httplib::Response& response) {
    send(response, answer_query(request.target, format_of(request), index_));
    response.set_header("Vary", "Accept");
  });

  server_.Get(std::string(health_path), [this](const httplib::Request&, httplib::Response& response) {
    send(response, {200, "application/json; charset=utf-8", health_json(index_.size())});
  });

  // Called for every status from 400 up; fills in a page where nothing else did (unknown paths,
  // and requests cpp-httplib refused before routing: malformed lines, 414).
  server_.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request& request, httplib::Response& response) {
    if (!request_started) request_started = steady::now();
    if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    send(response, answer_error(response.status, message_for(response.status), format_of(request)));
    // After a request it could not parse, the connection's bytes cannot be trusted.
    if (response.status == 400 || response.status == 414) {
      response.set_header("Connection", "close");
      connection_server::close_after_response();
    }
    return httplib::Server::HandlerResponse::Handled;
  }));

  server_.set_exception_handler(
      [](const httplib::Request& request, httplib::Response& response, std::exception_ptr error) {
        std::string what = "unknown error";
        try {
          std::rethrow_exception(error);
        } catch (const std::exception& e) {
          what = e.what();
        } catch (...) {
        }
        stderr_log_sink()("chati-server: error answering " + request.method + " " + request.path + ": " + what + "\n");
        send(response, answer_error(500, message_for(500), format_of(request)));
      });

  if (settings_.access_log) {
    server_.set_logger([log = settings_.access_log](const httplib::Request& request,
                                                    const httplib::Response& response) {
      const auto now = steady::now();
      const auto latency = request_started ? now - *request_started : steady::duration{};
      request_started.reset();
      log(format_access_line({std::chrono::system_clock::now(), request.remote_addr, request.method,
                              request.target, response.status,
                              std::chrono::duration_cast<std::chrono::nanoseconds>(latency),
                              request.method == "HEAD" ? 0 : response.body.size()}));
    });
  } else {
    server_.set_logger([](const httplib::Request&, const httplib::Response&) { request_started.reset(); });
  }
}

bind_result lookup_server::bind(const listen_address& address) {
  listening_socket_ = -1;
  int port = address.port;
  if (port == 0) {
    port = server_.bind_to_any_port(address.host);
    if (port < 0) return {std::nullopt, explain_bind_failure(address)};
  } else if (!server_.bind_to_port(address.host, port)) {
    return {std::nullopt, explain_bind_failure(address)};
  }
  // cpp-httplib listens with a backlog of 5, so a burst of new connections would be dropped
  // and retried by the clients' kernels a second later; listen() again widens it.
  if (listening_socket_ >= 0) ::listen(listening_socket_, SOMAXCONN);
  return {port, {}};
}

bool lookup_server::run() {
  run_requested_ = true;
  if (stopping_) return true;
  const bool served = server_.listen_after_bind();
  run_finished_ = true;
  return served;
}

void lookup_server::stop() {
  stopping_ = true;
  // cpp-httplib ignores stop() until its loop has started; wait for that if run() is on its way.
  while (run_requested_ && !run_finished_ && !server_.is_running()) std::this_thread::yield();
  server_.stop();
}

}  // namespace chati::service::http
