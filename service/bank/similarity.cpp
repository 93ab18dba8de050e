#include "similarity.h"

#include <algorithm>
#include <bit>

namespace chati::service {
namespace {

std::size_t hash_slot(char32_t c, std::size_t mask) {
  return (static_cast<std::size_t>(c) * 0x9E3779B1u) & mask;
}

}  // namespace

lcs_pattern::lcs_pattern(std::u32string_view query) { assign(query); }

void lcs_pattern::assign(std::u32string_view query) {
  size_ = query.size();
  words_ = (query.size() + 63) / 64;
  zero_.assign(words_, 0);
  std::size_t slots = 16;
  while (slots < query.size() * 2) slots *= 2;
  slot_mask_ = slots - 1;
  slot_char_.assign(slots, 0);
  masks_.assign(slots * words_, 0);
  for (std::size_t i = 0; i < query.size(); ++i) {
    // Code point 0 marks a free slot, so a NUL in the query is stored as U+FFFFFFFF.
    const char32_t c = query[i] == 0 ? char32_t(0xFFFFFFFF) : query[i];
    std::size_t s = hash_slot(c, slot_mask_);
    while (slot_char_[s] != 0 && slot_char_[s] != c) s = (s + 1) & slot_mask_;
    slot_char_[s] = c;
    masks_[s * words_ + i / 64] |= std::uint64_t{1} << (i % 64);
  }
}

const std::uint64_t* lcs_pattern::masks_of(char32_t c) const {
  if (c == 0) c = char32_t(0xFFFFFFFF);
  std::size_t s = hash_slot(c, slot_mask_);
  while (slot_char_[s] != 0) {
    if (slot_char_[s] == c) return &masks_[s * words_];
    s = (s + 1) & slot_mask_;
  }
  return zero_.data();
}

std::size_t lcs_pattern::lcs(std::u32string_view text) const {
  if (size_ == 0 || text.empty()) return 0;
  // row_ holds V: a 0 bit at position i counts one more matched character up to query[i].
  row_.assign(words_, ~std::uint64_t{0});
  for (char32_t c : text) {
    const std::uint64_t* m = masks_of(c);
    std::uint64_t carry = 0;
    for (std::size_t w = 0; w < words_; ++w) {
      const std::uint64_t v = row_[w];
      const std::uint64_t u = v & m[w];
      const std::uint64_t sum = v + u;
      const std::uint64_t with_carry = sum + carry;
      carry = (sum < v || with_carry < sum) ? 1 : 0;
      row_[w] = with_carry | (v - u);
    }
  }
  std::size_t ones = 0;
  for (std::size_t w = 0; w < words_; ++w) {
    std::uint64_t v = row_[w];
    if (w + 1 == words_ && size_ % 64 != 0) v |= ~std::uint64_t{0} << (size_ % 64);
    ones += static_cast<std::size_t>(std::popcount(v));
  }
  return words_ * 64 - ones;
}

double lcs_pattern::ratio(std::u32string_view text) const {
  const std::size_t total = size_ + text.size();
  if (total == 0) return 1.0;
  return 2.0 * static_cast<double>(lcs(text)) / static_cast<double>(total);
}

double weighted_lcs(std::u32string_view query, const float* query_weights, std::u32string_view text) {
  thread_local std::vector<double> prev, cur;
  prev.assign(query.size() + 1, 0.0);
  cur.assign(query.size() + 1, 0.0);
  for (char32_t c : text) {
    for (std::size_t j = 1; j <= query.size(); ++j) {
      double best = std::max(prev[j], cur[j - 1]);
      if (query[j - 1] == c) best = std::max(best, prev[j - 1] + query_weights[j - 1]);
      cur[j] = best;
    }
    prev.swap(cur);
  }
  return prev[query.size()];
}

double similarity_ratio(std::u32string_view a, std::u32string_view b) {
  return lcs_pattern(a).ratio(b);
}

}  // namespace chati::service
