#include "serve_command.h"

#include <pthread.h>
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "listen_address.h"
#include "lookup.h"
#include "lookup_server.h"

namespace chati::service::http {
namespace {

constexpr std::string_view default_listen = "127.0.0.1:8765";

void print_help() {
  std::string default_bank = "~/.local/share/chati/bank.sqlite";
  try {
    default_bank = default_bank_path().string();
  } catch (const std::exception&) {
    // Help is still worth printing without a home directory.
  }
  std::printf(
      "Usage: chati-server serve [--bank PATH] [--listen HOST:PORT]\n"
      "\n"
      "Answers the client's questions over HTTP: GET /tmbx/qutimu.php?w=QUESTION gives an HTML\n"
      "page (JSON with 'Accept: application/json'); GET /healthz tells the bank's size.\n"
      "\n"
      "Options:\n"
      "  --bank PATH         the question bank to answer from (default: %s,\n"
      "                      created with the sample questions when missing)\n"
      "  --listen HOST:PORT  where to listen (default: %s; port 0 picks a free port).\n"
      "                      Only this machine can connect unless HOST says otherwise.\n"
      "  -h, --help          show this help\n"
      "\n"
      "Prints 'listening on http://HOST:PORT/' when ready; an access-log line per request goes to\n"
      "stderr. Stops on Ctrl-C or SIGTERM.\n",
      default_bank.c_str(), std::string(default_listen).c_str());
}

int usage_error(const std::string& message) {
  std::fprintf(stderr, "chati-server serve: %s\nTry 'chati-server serve --help'.\n", message.c_str());
  return 2;
}

struct serve_options {
  std::optional<std::filesystem::path> bank;
  listen_address listen;
  bool help = false;
};

// Either the options or the message of a usage error.
struct parsed_options {
  serve_options options;
  std::string error;
};

parsed_options parse_options(int argc, char** argv) {
  parsed_options parsed;
  parsed.options.listen = *parse_listen_address(default_listen);
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::optional<std::string_view> inline_value;
    if (arg.starts_with("--") && arg.find('=') != std::string_view::npos) {
      inline_value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
    }
    const auto value = [&]() -> std::optional<std::string_view> {
      if (inline_value) return inline_value;
      if (i + 1 < argc) return std::string_view(argv[++i]);
      return std::nullopt;
    };
    if (arg == "-h" || arg == "--help") {
      parsed.options.help = true;
    } else if (arg == "--bank") {
      const auto path = value();
      if (!path || path->empty()) return {{}, "--bank needs a file path"};
      parsed.options.bank = std::filesystem::path(*path);
    } else if (arg == "--listen") {
      const auto text = value();
      if (!text) return {{}, "--listen needs HOST:PORT"};
      const auto address = parse_listen_address(*text);
      if (!address) {
        return {{}, "--listen wants HOST:PORT with a port from 0 to 65535 (IPv6: [ADDR]:PORT), not '" +
                        std::string(*text) + "'"};
      }
      parsed.options.listen = *address;
    } else {
      return {{}, (arg.starts_with("-") ? "unknown option '" : "unexpected argument '") + std::string(arg) + "'"};
    }
  }
  return parsed;
}

// Hundreds of client connections need more descriptors than the usual soft limit of 1024.
void raise_descriptor_limit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace

int serve_command(int argc, char** argv) {
  const parsed_options parsed = parse_options(argc, argv);
  if (!parsed.error.empty()) return usage_error(parsed.error);
  const serve_options& options = parsed.options;
  if (options.help) {
    print_help();
    return 0;
  }

  const auto started = std::chrono::steady_clock::now();
  std::filesystem::path bank;
  std::unique_ptr<question_index> index;
  try {
    if (options.bank) {
      bank = *options.bank;
    } else {
      bank = default_bank_path();
      ensure_sample_bank(bank);
    }
    index = open_question_index(bank);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "chati-server serve: %s\n", e.what());
    return 1;
  }
  const double load_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::fprintf(stderr, "chati-server: %zu questions from %s, ready in %.2f s\n", index->size(),
               bank.c_str(), load_seconds);

  // SIGINT and SIGTERM are taken by one thread that stops the server; every other thread,
  // started after this, keeps them blocked.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  raise_descriptor_limit();

  lookup_server server(*index);
  const bind_result bound = server.bind(options.listen);
  if (!bound.port) {
    std::fprintf(stderr, "chati-server serve: %s\n", bound.error.c_str());
    return 1;
  }
  const listen_address actual{options.listen.host, *bound.port};
  std::printf("listening on http://%s/\n", to_string(actual).c_str());
  std::fflush(stdout);

  std::thread([&server, stop_signals] {
    int signal = 0;
    sigwait(&stop_signals, &signal);
    std::fprintf(stderr, "chati-server: stopping on signal %d\n", signal);
    server.stop();
  }).detach();

  if (!server.run()) {
    std::fprintf(stderr, "chati-server serve: the server stopped unexpectedly\n");
    return 1;
  }
  return 0;
}

}  // namespace chati::service::http
