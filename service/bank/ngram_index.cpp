#include "ngram_index.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "normalize.h"
#include "similarity.h"
#include "text.h"

namespace chati::service {
namespace {

// Longer queries and questions are compared on their first code points only.
constexpr std::size_t max_compared_chars = 256;
static_assert(max_compared_chars - 1 <= UINT8_MAX);
// Questions this short are also indexed by single characters, for one-character queries.
constexpr std::size_t short_question_chars = 8;
// Candidate questions have a length from half to twice the query's: outside that range the
// similarity rarely comes near the threshold (measured: no loss of accuracy, fewer postings).
constexpr std::size_t length_window = 2;
// Postings visited per lookup, rarest grams first: the common grams of a template ("的下一句是")
// would otherwise make a large bank slow without finding better candidates.
constexpr std::size_t posting_budget = 10000;
// Candidates ranked by LCS ratio; the best of them are ranked again by the weighted ratio.
constexpr std::size_t candidates_scored = 32;
constexpr std::size_t candidates_weighted = 16;

// Per-thread working memory of lookups, reused so that a lookup allocates little.
struct scratch {
  std::vector<std::uint8_t> counts;  // shared grams per question
  std::vector<std::uint32_t> touched;
  std::vector<std::uint64_t> keys;
  std::vector<std::span<const std::uint32_t>> lists;
  std::vector<std::uint32_t> candidates;
  std::vector<std::pair<double, std::uint32_t>> scored;
  std::vector<float> weights;
  lcs_pattern pattern;
};

scratch& thread_scratch(std::size_t size) {
  thread_local scratch s;
  if (s.counts.size() < size) s.counts.resize(size, 0);
  return s;
}

}  // namespace

ngram_index::builder::builder() : index_(std::make_unique<ngram_index>()) {}
ngram_index::builder::~builder() = default;
ngram_index::builder::builder(builder&&) noexcept = default;

void ngram_index::builder::add(const question_view& row, std::string_view norm_utf8) {
  ngram_index& index = *index_;
  const std::size_t norm_begin = index.norms_.size();
  append_decoded_utf8(index.norms_, norm_utf8);
  index.norms_.resize(std::min(index.norms_.size(), norm_begin + max_compared_chars));
  const std::size_t norm_len = index.norms_.size() - norm_begin;
  const std::size_t text_end = index.texts_.size() + row.question.size() + row.answer.size() +
                               row.options.size() + row.type.size();
  if (text_end > UINT32_MAX || index.norms_.size() > UINT32_MAX ||
      index.entries_.size() >= UINT32_MAX / 2) {
    throw std::runtime_error("question bank too large to index");
  }
  entry e{};
  e.text = static_cast<std::uint32_t>(index.texts_.size());
  e.question_len = static_cast<std::uint32_t>(row.question.size());
  e.answer_len = static_cast<std::uint32_t>(row.answer.size());
  e.options_len = static_cast<std::uint32_t>(row.options.size());
  e.type_len = static_cast<std::uint32_t>(row.type.size());
  index.texts_ += row.question;
  index.texts_ += row.answer;
  index.texts_ += row.options;
  index.texts_ += row.type;
  e.norm = static_cast<std::uint32_t>(norm_begin);
  e.norm_len = static_cast<std::uint32_t>(norm_len);
  index.entries_.push_back(e);
}

void ngram_index::builder::add(const question_row& row, std::string_view norm_utf8) {
  add(question_view{row.question, row.answer, row.options, row.type}, norm_utf8);
}

ngram_index ngram_index::builder::build() && {
  ngram_index index = std::move(*index_);
  index.texts_.shrink_to_fit();
  index.norms_.shrink_to_fit();
  index.entries_.shrink_to_fit();
  // Ids in order of length, so that a range of lengths is a range of ids in every posting list.
  // A counting sort: lengths are at most max_compared_chars, and it keeps the bank's order.
  {
    std::vector<std::size_t> start(max_compared_chars + 2, 0);
    for (const entry& e : index.entries_) ++start[e.norm_len + 1];
    for (std::size_t len = 1; len < start.size(); ++len) start[len] += start[len - 1];
    std::vector<entry> sorted(index.entries_.size());
    for (const entry& e : index.entries_) sorted[start[e.norm_len]++] = e;
    index.entries_.swap(sorted);
  }

  const std::size_t longest = index.entries_.empty() ? 0 : index.entries_.back().norm_len;
  index.first_of_length_.resize(longest + 2);
  std::uint32_t id = 0;
  for (std::size_t len = 0; len < index.first_of_length_.size(); ++len) {
    while (id < index.entries_.size() && index.entries_[id].norm_len < len) ++id;
    index.first_of_length_[len] = id;
  }

  // Inverse document frequency of each character: template words shared by many questions
  // ("的下一句是", "出自哪首诗") count for less than the words that tell questions apart.
  std::vector<std::uint32_t> df, last_seen;
  for (std::uint32_t id = 0; id < index.entries_.size(); ++id) {
    for (char32_t c : index.norm_of(index.entries_[id])) {
      if (df.size() <= c) df.resize(c + 1, 0), last_seen.resize(c + 1, UINT32_MAX);
      if (last_seen[c] == id) continue;
      last_seen[c] = id;
      ++df[c];
    }
  }
  const double total = static_cast<double>(index.entries_.size());
  index.char_weight_.resize(df.size());
  for (std::size_t c = 0; c < df.size(); ++c) {
    index.char_weight_[c] = static_cast<float>(std::log(1.0 + total / (df[c] + 1.0)));
  }
  for (entry& e : index.entries_) {
    float sum = 0;
    for (char32_t c : index.norm_of(e)) sum += index.weight_of(c);
    e.norm_weight = sum;
  }

  const auto questions = static_cast<std::uint32_t>(index.entries_.size());
  index.bigrams_.build(questions, [&](std::uint32_t id, std::vector<std::uint64_t>& keys) {
    const std::u32string_view n = index.norm_of(index.entries_[id]);
    for (std::size_t i = 0; i + 1 < n.size(); ++i) keys.push_back(gram_table::key(n[i], n[i + 1]));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  });
  index.unigrams_.build(questions, [&](std::uint32_t id, std::vector<std::uint64_t>& keys) {
    const std::u32string_view n = index.norm_of(index.entries_[id]);
    if (n.size() > short_question_chars) return;
    for (char32_t c : n) keys.push_back(gram_table::key(c));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  });
  return index;
}

float ngram_index::weight_of(char32_t c) const {
  if (c < char_weight_.size()) return char_weight_[c];
  return static_cast<float>(std::log(1.0 + static_cast<double>(entries_.size())));
}

match ngram_index::to_match(const entry& e, double score) const {
  match m;
  std::size_t at = e.text;
  m.question = texts_.substr(at, e.question_len);
  at += e.question_len;
  m.answer = texts_.substr(at, e.answer_len);
  at += e.answer_len;
  m.options = texts_.substr(at, e.options_len);
  at += e.options_len;
  m.type = texts_.substr(at, e.type_len);
  m.score = score;
  m.confident = score >= match_threshold;
  return m;
}

void ngram_index::gather_candidates(std::u32string_view q, std::vector<std::uint32_t>& out) const {
  const std::size_t lo = (q.size() + length_window - 1) / length_window;
  const std::size_t hi = std::min(q.size() * length_window, first_of_length_.size() - 2);
  if (lo > hi) return;
  const std::uint32_t id_lo = first_of_length_[lo];
  const std::uint32_t id_hi = first_of_length_[hi + 1];

  scratch& s = thread_scratch(entries_.size());
  auto& lists = s.lists;
  lists.clear();
  auto window = [&](std::span<const std::uint32_t> p) {
    const auto b = std::lower_bound(p.begin(), p.end(), id_lo);
    const auto e = std::lower_bound(b, p.end(), id_hi);
    return std::span<const std::uint32_t>(b, e);
  };
  if (q.size() == 1) {
    lists.push_back(unigrams_.postings(gram_table::key(q[0])));
  } else {
    auto& keys = s.keys;
    keys.clear();
    for (std::size_t i = 0; i + 1 < q.size(); ++i) keys.push_back(gram_table::key(q[i], q[i + 1]));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    for (std::uint64_t k : keys) {
      auto p = bigrams_.postings(k);
      if (!p.empty()) lists.push_back(p);
    }
  }
  // Rarest first; the length window is cut out only of the lists that will be visited, as
  // searching the long lists of common grams costs cache misses for nothing.
  std::sort(lists.begin(), lists.end(), [](auto a, auto b) { return a.size() < b.size(); });

  // Room for every visited posting, so that the loop below stores without branching. Counts fit
  // in a byte: a query has at most max_compared_chars - 1 distinct bigrams.
  s.touched.resize(2 * posting_budget);
  std::size_t touched = 0;
  std::size_t visited = 0;
  for (std::size_t g = 0; g < lists.size(); ++g) {
    if (g > 0 && visited + lists[g].size() / 64 > posting_budget) break;
    auto p = window(lists[g]);
    if (visited + p.size() > posting_budget) {
      if (g > 0) break;
      // Only common grams: the shortest questions holding the rarest one.
      p = p.first(posting_budget);
    }
    visited += p.size();
    for (std::uint32_t id : p) {
      std::uint8_t& c = s.counts[id];
      s.touched[touched] = id;
      touched += c == 0;
      ++c;
    }
  }
  s.touched.resize(touched);

  // The questions sharing the most grams, found with a histogram of the counts (one pass to
  // count, one to pick and reset) rather than by sorting thousands of candidates.
  std::size_t histogram[UINT8_MAX + 1] = {};
  for (std::uint32_t id : s.touched) ++histogram[s.counts[id]];
  std::size_t cutoff = UINT8_MAX, above = 0;
  while (cutoff > 1 && above + histogram[cutoff] < candidates_scored) above += histogram[cutoff--];
  std::size_t ties = candidates_scored - std::min(above, candidates_scored);
  out.clear();
  for (std::uint32_t id : s.touched) {
    std::uint8_t& c = s.counts[id];
    if (c > cutoff || (c == cutoff && ties > 0 && ties--)) out.push_back(id);
    c = 0;
  }
}

lookup_result ngram_index::lookup(std::string_view utf8_query, std::size_t limit) const {
  lookup_result result;
  std::u32string q = normalize_question(utf8_query);
  result.understood = encode_utf8(q);
  if (q.size() > max_compared_chars) q.resize(max_compared_chars);
  if (q.empty() || limit == 0 || entries_.empty()) return result;

  scratch& s = thread_scratch(entries_.size());
  auto& candidates = s.candidates;
  candidates.clear();
  gather_candidates(q, candidates);
  s.pattern.assign(q);
  auto& scored = s.scored;
  scored.clear();
  for (std::uint32_t id : candidates) scored.emplace_back(s.pattern.ratio(norm_of(entries_[id])), id);
  auto best_first = [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  };
  std::sort(scored.begin(), scored.end(), best_first);

  scored.resize(std::min(scored.size(), std::max(candidates_weighted, limit)));
  auto& weights = s.weights;
  weights.resize(q.size());
  float query_weight = 0;
  for (std::size_t i = 0; i < q.size(); ++i) query_weight += weights[i] = weight_of(q[i]);
  for (auto& [score, id] : scored) {
    const entry& e = entries_[id];
    const double both = static_cast<double>(query_weight) + e.norm_weight;
    if (norm_of(e) == q) {
      score = 1.0;
    } else {
      score = both > 0 ? std::min(1.0, 2.0 * weighted_lcs(q, weights.data(), norm_of(e)) / both) : 0.0;
    }
  }
  std::sort(scored.begin(), scored.end(), best_first);
  result.matches.reserve(std::min(scored.size(), limit));
  for (std::size_t i = 0; i < scored.size() && i < limit; ++i) {
    result.matches.push_back(to_match(entries_[scored[i].second], scored[i].first));
  }
  return result;
}

std::unique_ptr<question_index> open_question_index(const std::filesystem::path& bank) {
  auto db = open_bank_for_reading(bank);
  ngram_index::builder builder;
  try {
    read_bank(db.get(), [&](long long, const question_view& row, std::string_view norm) {
      builder.add(row, norm);
    });
  } catch (const std::runtime_error& e) {
    throw std::runtime_error("bank " + bank.string() + ": cannot read: " + e.what());
  }
  db.reset();
  return std::make_unique<ngram_index>(std::move(builder).build());
}

}  // namespace chati::service
