#include "noisy_query.h"

#include <array>

#include "text.h"

using chati::service::decode_utf8;
using chati::service::encode_utf8;

namespace {

bool is_cjk(char32_t c) { return c >= 0x4E00 && c <= 0x9FFF; }

void add_kind(std::string& kinds, const char* kind) {
  if (!kinds.empty()) kinds += '+';
  kinds += kind;
}

std::vector<std::size_t> cjk_positions(const std::u32string& q) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < q.size(); ++i) {
    if (is_cjk(q[i])) at.push_back(i);
  }
  return at;
}

}  // namespace

void noisy_query_maker::soft_noise(std::u32string& q, std::string& kinds) {
  if (chance(0.3)) {
    for (char32_t& c : q) {
      if (c == U'“' || c == U'”') c = U'"';
      else if (c == U'？') c = U'?';
      else if (c >= U'!' && c <= U'~') c += 0xFEE0;
    }
    add_kind(kinds, "width");
  }
  if (chance(0.3)) {
    const std::size_t n = 1 + below(3);
    for (std::size_t k = 0; k < n; ++k) q.insert(q.begin() + static_cast<std::ptrdiff_t>(below(q.size() + 1)), chance(0.5) ? U' ' : U'\u3000');
    add_kind(kinds, "space");
  }
  if (chance(0.3)) {
    static const std::array<std::u32string, 7> labels = {U"【单选题】", U"[填空题]", U"单选题：", U"（判断题）",
                                                          U"【多选题】 ", U"[简答题] ", U"填空题:"};
    q = labels[below(labels.size())] + q;
    add_kind(kinds, "label");
  }
  if (chance(0.3)) {
    const std::u32string n = decode_utf8(std::to_string(1 + below(60)));
    static const std::array<std::u32string, 5> after = {U".", U"、", U". ", U"．", U"）"};
    const std::size_t form = below(after.size() + 1);
    q = (form == after.size() ? U"第" + n + U"题 " : n + after[form]) + q;
    add_kind(kinds, "number");
  }
  if (chance(0.3)) {
    static const std::array<std::u32string, 5> scores = {U"（2分）", U"(5.0分)", U"（本题3分）", U" [2分]", U"(10 分)"};
    q += scores[below(scores.size())];
    add_kind(kinds, "score");
  }
}

noisy_query_maker::query noisy_query_maker::decorate(const std::string& question) {
  query out;
  std::u32string q = decode_utf8(question);
  soft_noise(q, out.kinds);
  out.text = encode_utf8(q);
  return out;
}

noisy_query_maker::query noisy_query_maker::make(const std::string& question) {
  query out;
  std::u32string q = decode_utf8(question);
  const double hard = std::uniform_real_distribution<double>(0, 1)(rng_);
  auto cjk = cjk_positions(q);
  if (hard < 0.3 && !cjk.empty()) {
    q[cjk[below(cjk.size())]] = pool_[below(pool_.size())];
    add_kind(out.kinds, "typo");
  } else if (hard < 0.5 && cjk.size() > 2) {
    q.erase(cjk[below(cjk.size())], 1);
    add_kind(out.kinds, "drop");
  } else if (hard < 0.7 && cjk.size() >= 6) {
    // A copy that misses a few characters at either end (at most a quarter of the question).
    const std::size_t cut = std::max<std::size_t>(1, cjk.size() / 4);
    const std::size_t front = below(cut + 1);
    const std::size_t back = below(cut - front + 1);
    const std::size_t begin = front == 0 ? 0 : cjk[front - 1] + 1;
    const std::size_t end = back == 0 ? q.size() : cjk[cjk.size() - back];
    q = q.substr(begin, end - begin);
    add_kind(out.kinds, "middle");
  } else {
    add_kind(out.kinds, "exact");
  }
  soft_noise(q, out.kinds);
  out.text = encode_utf8(q);
  return out;
}
