#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bank_file.h"
#include "gram_table.h"
#include "lookup.h"

namespace chati::service {

// A match is confident when its similarity to the query reaches this.
inline constexpr double match_threshold = 0.70;

// The in-memory search index: questions sorted by the length of their normalised form, posting
// lists of character bigrams (and of single characters for short questions) to find candidates,
// and two similarities over code points to rank them: the LCS ratio (bit-parallel, for all
// candidates), then for the best of those a ratio of LCS weighted by how rare each character is in
// the bank, which is the score. Immutable once built.
class ngram_index final : public question_index {
 public:
  class builder {
   public:
    void add(const question_view& row, std::string_view norm_utf8);
    void add(const question_row& row, std::string_view norm_utf8);
    ngram_index build() &&;

    builder();
    ~builder();
    builder(builder&&) noexcept;

   private:
    std::unique_ptr<ngram_index> index_;  // filled in the bank's order, sorted and indexed by build()
  };

  ngram_index() = default;
  ngram_index(ngram_index&&) = default;
  lookup_result lookup(std::string_view utf8_query, std::size_t limit) const override;
  std::size_t size() const override { return entries_.size(); }

 private:
  struct entry {
    std::uint32_t text;  // offset in texts_: question, answer, options, type one after another
    std::uint32_t question_len, answer_len, options_len, type_len;
    std::uint32_t norm;  // offset in norms_
    std::uint32_t norm_len;
    float norm_weight;   // sum of the weights of the norm's characters
  };

  std::u32string_view norm_of(const entry& e) const { return {norms_.data() + e.norm, e.norm_len}; }
  match to_match(const entry& e, double score) const;
  void gather_candidates(std::u32string_view q, std::vector<std::uint32_t>& out) const;
  float weight_of(char32_t c) const;

  std::vector<entry> entries_;
  std::string texts_;
  std::u32string norms_;
  std::vector<float> char_weight_;  // by code point: rarer characters in the bank weigh more
  std::vector<std::uint32_t> first_of_length_;  // first id whose norm has at least that length
  gram_table bigrams_;
  gram_table unigrams_;  // only questions of at most short_question_chars
};

}  // namespace chati::service
