#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "app/program.h"
#include "runtime/memory.h"

// The program with two test switches, so that tests can reach its fatal paths from outside.
int main(int argc, char** argv) {
  static std::string form;
  if (const char* path = std::getenv("CHATI_TEST_FORM")) {
    std::ifstream in(path, std::ios::binary);
    form.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    app::program().form_data = form;
  }
  if (const char* nth = std::getenv("CHATI_TEST_FAIL_ALLOCATION"))
    runtime::fail_allocation_at(static_cast<unsigned>(std::strtoul(nth, nullptr, 10)));
  return runtime::run_process(argc, argv, app::program_entry);
}
