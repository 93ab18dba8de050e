#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>
#include <vector>

#include "bank_file.h"
#include "poetry.h"

namespace chati::service {

// The built-in general-knowledge and school questions (sample_questions.csv, compiled in).
std::string_view sample_questions_csv();

// Like ensure_sample_bank(bank), with the poems read from `poems_dir` (none when it has no poems).
void ensure_sample_bank(const std::filesystem::path& bank, const std::filesystem::path& poems_dir);

}  // namespace chati::service
