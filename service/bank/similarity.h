#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace chati::service {

// A query prepared for measuring its longest common subsequence with many texts, with the
// bit-parallel algorithm (Allison-Dix / Hyyrö): one pass over the text, one machine word per 64
// code points of the query.
class lcs_pattern {
 public:
  explicit lcs_pattern(std::u32string_view query = {});
  // Prepares for another query, reusing the memory of the last one.
  void assign(std::u32string_view query);

  std::size_t size() const { return size_; }
  std::size_t lcs(std::u32string_view text) const;

  // 2 * LCS / (|query| + |text|), in [0, 1]: 1 for equal texts, 0 when nothing is shared.
  double ratio(std::u32string_view text) const;

 private:
  const std::uint64_t* masks_of(char32_t c) const;

  std::size_t size_ = 0;
  std::size_t words_ = 0;
  std::vector<char32_t> slot_char_;     // open-addressing table: code point per slot (0 = free)
  std::vector<std::uint64_t> masks_;    // words_ masks per slot: where that code point occurs
  std::vector<std::uint64_t> zero_;
  std::size_t slot_mask_ = 0;
  mutable std::vector<std::uint64_t> row_;
};

double similarity_ratio(std::u32string_view a, std::u32string_view b);

// The largest total weight of a subsequence common to `query` and `text`, where each character of
// the query weighs query_weights[i]: an LCS in which rare characters count more than common ones.
double weighted_lcs(std::u32string_view query, const float* query_weights, std::u32string_view text);

}  // namespace chati::service
