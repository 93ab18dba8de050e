#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace chati::service {

// Posting lists of question ids per gram (one or two code points packed in a key): an
// open-addressing table from key to a dense gram number, and one id array cut into lists by
// gram number. Far smaller and faster to build than a node-based map when a large bank has
// millions of distinct grams.
class gram_table {
 public:
  static std::uint64_t key(char32_t a) { return a; }
  static std::uint64_t key(char32_t a, char32_t b) {
    return (static_cast<std::uint64_t>(a) << 32) | b | (std::uint64_t{1} << 63);
  }

  // Builds the lists of questions 0..questions-1; grams_of(id, keys) puts the distinct keys of
  // question `id` in `keys`. Hashes each posting once.
  void build(std::uint32_t questions,
             const std::function<void(std::uint32_t id, std::vector<std::uint64_t>& keys)>& grams_of);

  // Ids in increasing order; empty for an unknown key.
  std::span<const std::uint32_t> postings(std::uint64_t k) const;

 private:
  static constexpr std::uint64_t empty = ~std::uint64_t{0};

  std::size_t find(std::uint64_t k) const;
  std::uint32_t intern(std::uint64_t k);
  void grow();

  std::vector<std::uint64_t> slot_key_ = std::vector<std::uint64_t>(1024, empty);
  std::vector<std::uint32_t> slot_gram_ = std::vector<std::uint32_t>(1024, 0);
  std::vector<std::uint32_t> begin_;  // by gram number: where its list starts in ids_
  std::vector<std::uint32_t> count_;  // by gram number: how long its list is
  std::vector<std::uint32_t> ids_;
};

}  // namespace chati::service
