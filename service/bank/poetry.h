#pragma once

#include <filesystem>
#include <vector>

#include "bank_file.h"

namespace chati::service {

// Where Debian's fortunes-zh package puts its poems (files tang300 and song100).
inline const std::filesystem::path default_poems_dir = "/usr/share/games/fortunes";

// Poetry questions made from a file of poems in fortune format (records separated by "%" lines,
// each a title line with 《...》, an author line "作者：...", then the verses): the next and the
// previous verse of each verse within a sentence, the poem a verse comes from, and each poem's
// author. Returns nothing when the file cannot be read.
std::vector<question_row> poetry_questions(const std::filesystem::path& poems);

// The same questions, grouped by poem.
std::vector<std::vector<question_row>> poetry_questions_by_poem(const std::filesystem::path& poems);

// The poetry questions of tang300 and song100 in `dir`, those that exist.
std::vector<question_row> poetry_questions_in(const std::filesystem::path& dir);

}  // namespace chati::service
