#pragma once

#include <cstdint>
#include <string_view>

namespace runtime {

// Ends the program on a fatal error: writes the report to stderr, shows it in a modal error box,
// empties the exit list without running it, runs the shutdown and exits with status -1.
[[noreturn]] void run_time_error_report(std::string_view message, std::int64_t detail1,
                                        std::int64_t detail2);

}  // namespace runtime
