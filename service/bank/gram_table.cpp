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
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash(k) & mask;
  while (slots_[i].key != k && slots_[i].key != empty) i = (i + 1) & mask;
  return i;
}

void gram_table::grow() {
  std::vector<slot> old(slots_.size() * 2);
  old.swap(slots_);
  for (const slot& s : old) {
    if (s.key != empty) slots_[find(s.key)] = s;
  }
}

void gram_table::count(std::uint64_t k) {
  std::size_t i = find(k);
  if (slots_[i].key == empty) {
    if ((used_ + 1) * 4 > slots_.size() * 3) {
      grow();
      i = find(k);
    }
    slots_[i].key = k;
    ++used_;
  }
  ++slots_[i].count;
}

void gram_table::start_filling() {
  std::size_t total = 0;
  for (slot& s : slots_) {
    if (s.key == empty) continue;
    s.begin = static_cast<std::uint32_t>(total);
    total += s.count;
    if (total > UINT32_MAX) throw std::runtime_error("question bank too large to index");
  }
  ids_.assign(total, 0);
  fill_.assign(slots_.size(), 0);
}

void gram_table::add(std::uint64_t k, std::uint32_t id) {
  const std::size_t i = find(k);
  ids_[slots_[i].begin + fill_[i]++] = id;
}

void gram_table::finish() { fill_ = {}; }

std::span<const std::uint32_t> gram_table::postings(std::uint64_t k) const {
  const slot& s = slots_[find(k)];
  if (s.key == empty) return {};
  return {ids_.data() + s.begin, s.count};
}

std::size_t gram_table::memory_bytes() const {
  return slots_.capacity() * sizeof(slot) + ids_.capacity() * sizeof(std::uint32_t) +
         fill_.capacity() * sizeof(std::uint32_t);
}

}  // namespace chati::service
