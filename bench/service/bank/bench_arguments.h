#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

// The value after the option argv[i], which is consumed; a missing value ends the benchmark.
inline std::string arg_value(int& i, int argc, char** argv) {
  if (i + 1 >= argc) {
    std::fprintf(stderr, "%s needs a value\n", argv[i]);
    std::exit(2);
  }
  return argv[++i];
}
