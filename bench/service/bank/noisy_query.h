#pragma once

#include <random>
#include <string>
#include <vector>

// Turns a bank question into what a student might paste: typos, dropped characters, a copy from
// the middle, type labels, question numbers, score notes, width variants and stray spaces.
class noisy_query_maker {
 public:
  noisy_query_maker(unsigned seed, std::u32string typo_pool) : rng_(seed), pool_(std::move(typo_pool)) {}

  struct query {
    std::string text;
    std::string kinds;  // the noise applied, e.g. "typo+label"
  };
  query make(const std::string& question);
  // Only the noise that normalising removes (labels, numbers, scores, width, spaces).
  query decorate(const std::string& question);

  std::mt19937& rng() { return rng_; }

 private:
  bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
  void soft_noise(std::u32string& q, std::string& kinds);

  std::mt19937 rng_;
  std::u32string pool_;
};
