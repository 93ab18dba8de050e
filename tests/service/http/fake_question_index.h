#pragma once

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "lookup.h"

namespace chati::service::http::testing {

// A question index over a handful of questions, enough to see what the HTTP layer does with
// them: a question containing the query matches with a score of (query length / question
// length), confident from 0.5 up; a query equal to "!boom" throws. It remembers the queries it
// was asked, as the bytes it got.
class fake_question_index final : public question_index {
 public:
  explicit fake_question_index(std::vector<match> questions) : questions_(std::move(questions)) {}

  lookup_result lookup(std::string_view utf8_query, std::size_t limit) const override {
    {
      std::lock_guard lock(mutex_);
      queries_.emplace_back(utf8_query);
    }
    if (utf8_query == "!boom") throw std::runtime_error("the index broke");
    lookup_result result;
    result.understood = std::string(utf8_query);
    for (const match& candidate : questions_) {
      if (utf8_query.empty() || candidate.question.find(utf8_query) == std::string::npos) continue;
      match found = candidate;
      found.score = static_cast<double>(utf8_query.size()) / static_cast<double>(candidate.question.size());
      found.confident = found.score >= 0.5;
      result.matches.push_back(found);
    }
    std::stable_sort(result.matches.begin(), result.matches.end(),
                     [](const match& a, const match& b) { return a.score > b.score; });
    if (result.matches.size() > limit) result.matches.resize(limit);
    return result;
  }

  std::size_t size() const override { return questions_.size(); }

  std::vector<std::string> queries() const {
    std::lock_guard lock(mutex_);
    return queries_;
  }

 private:
  std::vector<match> questions_;
  mutable std::mutex mutex_;
  mutable std::vector<std::string> queries_;
};

}  // namespace chati::service::http::testing
