#include "similarity.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace chati::service {
namespace {

std::size_t reference_lcs(std::u32string_view a, std::u32string_view b) {
  std::vector<std::vector<std::size_t>> t(a.size() + 1, std::vector<std::size_t>(b.size() + 1, 0));
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      t[i][j] = a[i - 1] == b[j - 1] ? t[i - 1][j - 1] + 1 : std::max(t[i - 1][j], t[i][j - 1]);
    }
  }
  return t[a.size()][b.size()];
}

std::u32string random_text(std::mt19937& rng, std::size_t max_len, char32_t alphabet) {
  std::u32string s(rng() % (max_len + 1), 0);
  // Mostly CJK, some NULs and code points above the BMP to reach every path of the table.
  for (char32_t& c : s) c = rng() % 50 == 0 ? 0 : (rng() % 50 == 0 ? 0x20000 : 0x4E00) + rng() % alphabet;
  return s;
}

TEST(similarity, bit_parallel_lcs_equals_the_dynamic_programming_one) {
  std::mt19937 rng(7);
  // Lengths across one and several machine words, small and large alphabets.
  for (int round = 0; round < 600; ++round) {
    const char32_t alphabet = round % 2 ? 4 : 40;
    const auto a = random_text(rng, round % 3 == 0 ? 200 : 70, alphabet);
    const auto b = random_text(rng, round % 3 == 0 ? 200 : 70, alphabet);
    ASSERT_EQ(lcs_pattern(a).lcs(b), reference_lcs(a, b)) << "round " << round;
  }
}

TEST(similarity, ratio_of_equal_disjoint_and_partial_texts) {
  EXPECT_DOUBLE_EQ(similarity_ratio(U"床前明月光", U"床前明月光"), 1.0);
  EXPECT_DOUBLE_EQ(similarity_ratio(U"床前明月光", U"疑是地上霜"), 0.0);
  EXPECT_DOUBLE_EQ(similarity_ratio(U"床前明月光", U"床前月光"), 8.0 / 9.0);
  EXPECT_DOUBLE_EQ(similarity_ratio(U"", U""), 1.0);
  EXPECT_DOUBLE_EQ(similarity_ratio(U"", U"光"), 0.0);
}

TEST(similarity, weighted_lcs_counts_what_the_heavy_characters_share) {
  const std::u32string q = U"abcd";
  const float w[] = {1, 10, 1, 1};
  EXPECT_DOUBLE_EQ(weighted_lcs(q, w, U"abcd"), 13.0);
  // "acd" is the longest common subsequence, but "b" alone weighs more.
  EXPECT_DOUBLE_EQ(weighted_lcs(q, w, U"db"), 10.0);
  EXPECT_DOUBLE_EQ(weighted_lcs(q, w, U"xyz"), 0.0);
}

}  // namespace
}  // namespace chati::service
