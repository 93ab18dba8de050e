#include "app/program.h"

int main(int argc, char** argv) { return runtime::run_process(argc, argv, app::program_entry); }
