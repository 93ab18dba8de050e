#pragma once

namespace chati::service::http {

// Runs `chati-server serve ARGS...` (argv[0] is "serve"): opens the bank, listens, answers until
// SIGINT or SIGTERM. Returns the process exit status.
int serve_command(int argc, char** argv);

}  // namespace chati::service::http
