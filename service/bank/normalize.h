#pragma once

#include <string>
#include <string_view>

namespace chati::service {

// Bumped whenever normalize_question changes, so that banks store which rules their `norm`
// column was made with.
inline constexpr int normalizer_version = 2;

// The form in which questions are compared: full-width folded to half-width, ASCII lower-cased,
// leading question numbers ("12.", "3、", "(4)", "第5题"), type labels ("【单选题】", "[填空题]",
// "单选题：") and score notes ("（2分）", "(5.0分)") removed, whitespace and punctuation dropped.
std::u32string normalize_question(std::string_view utf8);

}  // namespace chati::service
