#include <cstdio>
#include <string_view>

#include "lookup.h"
#include "serve_command.h"

namespace {

void print_help(std::FILE* to) {
  std::fprintf(to,
      "Usage: chati-server COMMAND [OPTIONS]\n"
      "\n"
      "The lookup service of chati: answers exam questions from a question bank.\n"
      "\n"
      "Commands:\n"
      "  serve   answer the client's queries over HTTP\n"
      "  import  load questions into a bank from CSV or JSON Lines files\n"
      "\n"
      "'chati-server COMMAND --help' tells more about each.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    print_help(stderr);
    return 2;
  }
  const std::string_view command = argv[1];
  if (command == "-h" || command == "--help" || command == "help") {
    print_help(stdout);
    return 0;
  }
  if (command == "serve") return chati::service::http::serve_command(argc - 1, argv + 1);
  if (command == "import") return chati::service::import_command(argc - 1, argv + 1);
  std::fprintf(stderr, "chati-server: unknown command '%.*s'\nTry 'chati-server --help'.\n",
               static_cast<int>(command.size()), command.data());
  return 2;
}
