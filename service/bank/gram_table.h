#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace chati::service {

// Posting lists of question ids per gram (one or two code points packed in a key), stored as one
// id array with an open-addressing table of (key, begin, count): far smaller and faster to build
// than a node-based map when a large bank has millions of distinct grams.
class gram_table {
 public:
  static std::uint64_t key(char32_t a) { return a; }
  static std::uint64_t key(char32_t a, char32_t b) {
    return (static_cast<std::uint64_t>(a) << 32) | b | (std::uint64_t{1} << 63);
  }

  // Building, in two passes over the same keys: count(k) for every posting, then
  // start_filling(), then add(k, id) for every posting in increasing id order, then finish().
  void count(std::uint64_t k);
  void start_filling();
  void add(std::uint64_t k, std::uint32_t id);
  void finish();

  std::span<const std::uint32_t> postings(std::uint64_t k) const;
  std::size_t memory_bytes() const;

 private:
  struct slot {
    std::uint64_t key = empty;
    std::uint32_t begin = 0;
    std::uint32_t count = 0;
  };
  static constexpr std::uint64_t empty = ~std::uint64_t{0};

  std::size_t find(std::uint64_t k) const;
  void grow();

  std::vector<slot> slots_ = std::vector<slot>(1024);
  std::size_t used_ = 0;
  std::vector<std::uint32_t> ids_;
  std::vector<std::uint32_t> fill_;
};

}  // namespace chati::service
