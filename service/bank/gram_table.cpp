#include "gram_table.h"

#include <stdexcept>

namespace chati::service {
namespace {

std::size_t hash(std::uint64_t k) {
  k ^= k >> 33;
  k *= 0xFF51AFD7ED558CCDull;
  k ^= k >> 33;
  return static_cast<std::size_t>(k);
}

}  // namespace

std::size_t gram_table::find(std::uint64_t k) const {
  const std::size_t mask = slot_key_.size() - 1;
  std::size_t i = hash(k) & mask;
  while (slot_key_[i] != k && slot_key_[i] != empty) i = (i + 1) & mask;
  return i;
}

void gram_table::grow() {
  std::vector<std::uint64_t> keys(slot_key_.size() * 2, empty);
  std::vector<std::uint32_t> grams(slot_key_.size() * 2, 0);
  keys.swap(slot_key_);
  grams.swap(slot_gram_);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == empty) continue;
    const std::size_t j = find(keys[i]);
    slot_key_[j] = keys[i];
    slot_gram_[j] = grams[i];
  }
}

std::uint32_t gram_table::intern(std::uint64_t k) {
  std::size_t i = find(k);
  if (slot_key_[i] == empty) {
    if ((count_.size() + 1) * 4 > slot_key_.size() * 3) {
      grow();
      i = find(k);
    }
    slot_key_[i] = k;
    slot_gram_[i] = static_cast<std::uint32_t>(count_.size());
    count_.push_back(0);
  }
  return slot_gram_[i];
}

void gram_table::build(std::uint32_t questions,
                       const std::function<void(std::uint32_t, std::vector<std::uint64_t>&)>& grams_of) {
  // Pass one hashes every posting to its gram number and counts; pass two only places ids.
  std::vector<std::uint32_t> grams;
  std::vector<std::size_t> ends(questions);
  std::vector<std::uint64_t> keys;
  for (std::uint32_t id = 0; id < questions; ++id) {
    keys.clear();
    grams_of(id, keys);
    for (std::uint64_t k : keys) {
      const std::uint32_t g = intern(k);
      grams.push_back(g);
      ++count_[g];
    }
    ends[id] = grams.size();
  }
  if (grams.size() > UINT32_MAX) throw std::runtime_error("question bank too large to index");
  begin_.resize(count_.size());
  std::uint32_t total = 0;
  for (std::size_t g = 0; g < count_.size(); ++g) {
    begin_[g] = total;
    total += count_[g];
  }
  ids_.resize(total);
  std::vector<std::uint32_t> next(begin_);
  std::size_t j = 0;
  for (std::uint32_t id = 0; id < questions; ++id) {
    for (; j < ends[id]; ++j) ids_[next[grams[j]]++] = id;
  }
}

std::span<const std::uint32_t> gram_table::postings(std::uint64_t k) const {
  const std::size_t i = find(k);
  if (slot_key_[i] == empty) return {};
  const std::uint32_t g = slot_gram_[i];
  return {ids_.data() + begin_[g], count_[g]};
}

}  // namespace chati::service
