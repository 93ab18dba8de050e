#include "normalize.h"

#include <array>

#include "text.h"

namespace chati::service {
namespace {

using text = std::u32string;

char32_t fold(char32_t c) {
  if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;
  if (c == 0x3000) c = U' ';
  if (c >= U'A' && c <= U'Z') c += 32;
  return c;
}

bool is_space(char32_t c) {
  return c == U' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

// Punctuation only: symbols that carry meaning in a question (+ = < > $ ...) are kept.
bool is_punct(char32_t c) {
  if (c < 0x80) {
    switch (c) {
      case U'!': case U'"': case U'#': case U'%': case U'&': case U'\'': case U'(': case U')':
      case U'*': case U',': case U'-': case U'.': case U'/': case U':': case U';': case U'?':
      case U'@': case U'[': case U'\\': case U']': case U'_': case U'{': case U'}':
        return true;
      default:
        return false;
    }
  }
  return c == 0xA1 || c == 0xA7 || c == 0xAB || c == 0xB6 || c == 0xB7 || c == 0xBB ||
         c == 0xBF || (c >= 0x2010 && c <= 0x2027) || (c >= 0x2030 && c <= 0x205E) ||
         (c >= 0x3001 && c <= 0x3003) || (c >= 0x3008 && c <= 0x3011) ||
         (c >= 0x3014 && c <= 0x301F) || c == 0x3030 || c == 0x303D || c == 0x30FB ||
         (c >= 0xFE10 && c <= 0xFE19) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFE50 && c <= 0xFE6B) || (c >= 0xFF5F && c <= 0xFF65);
}

bool is_digit(char32_t c) { return c >= U'0' && c <= U'9'; }

bool is_open_bracket(char32_t c) {
  return c == U'(' || c == U'[' || c == U'【' || c == U'〔' || c == U'〖' || c == U'<';
}

bool is_close_bracket(char32_t c) {
  return c == U')' || c == U']' || c == U'】' || c == U'〕' || c == U'〗' || c == U'>';
}

constexpr std::array<std::u32string_view, 40> type_labels = {
    U"单项选择题", U"多项选择题", U"不定项选择题", U"单选题", U"多选题", U"判断题", U"填空题",
    U"简答题", U"问答题", U"名词解释题", U"名词解释", U"论述题", U"计算题", U"选择题",
    U"阅读理解", U"完形填空", U"案例分析题", U"材料分析题", U"分析题", U"主观题", U"客观题",
    U"连线题", U"排序题", U"解答题", U"证明题", U"应用题", U"辨析题", U"综合题", U"实验题",
    U"作图题", U"写作题", U"翻译题", U"改错题", U"单选", U"多选", U"判断", U"填空", U"简答",
    U"问答", U"是非题"};

std::size_t skip_spaces(std::u32string_view s, std::size_t i) {
  while (i < s.size() && is_space(s[i])) ++i;
  return i;
}

// Length of the type label `s` starts with (the longest one), or 0.
std::size_t label_at(std::u32string_view s) {
  std::size_t best = 0;
  for (auto label : type_labels) {
    if (s.starts_with(label) && label.size() > best) best = label.size();
  }
  return best;
}

// "2分", "5.0 分", "本题2分", "共 10 分", "满分5分": the whole of `s`.
bool is_score_note(std::u32string_view s) {
  std::size_t i = skip_spaces(s, 0);
  for (std::u32string_view lead : {std::u32string_view(U"本题"), std::u32string_view(U"共"),
                                   std::u32string_view(U"满分")}) {
    if (s.substr(i).starts_with(lead)) {
      i = skip_spaces(s, i + lead.size());
      break;
    }
  }
  const std::size_t digits = i;
  while (i < s.size() && is_digit(s[i])) ++i;
  if (i == digits) return false;
  if (i < s.size() && s[i] == U'.') {
    const std::size_t frac = ++i;
    while (i < s.size() && is_digit(s[i])) ++i;
    if (i == frac) return false;
  }
  i = skip_spaces(s, i);
  if (i >= s.size() || s[i] != U'分') return false;
  ++i;
  if (i < s.size() && s[i] == U'值') ++i;
  return skip_spaces(s, i) == s.size();
}

// Bracket contents that are decoration, not question: a type label (possibly followed by a score
// note), or a score note alone.
bool is_decoration(std::u32string_view inside) {
  inside = inside.substr(skip_spaces(inside, 0));
  if (const std::size_t n = label_at(inside)) {
    std::u32string_view rest = inside.substr(n);
    rest = rest.substr(skip_spaces(rest, 0));
    if (rest.empty()) return true;
    if (rest.front() == U',' || rest.front() == U'、' || rest.front() == U';') rest.remove_prefix(1);
    return is_score_note(rest);
  }
  return is_score_note(inside);
}

constexpr std::size_t max_bracket_inside = 16;

// Removes a question number ("12.", "3、", "4)", "第5题", "一、") at s[i...]; returns the index
// after it, or i when there is none.
std::size_t strip_question_number(std::u32string_view s, std::size_t i) {
  std::size_t j = i;
  const bool di = s[j] == U'第';
  if (di) ++j;
  const std::size_t digits = j;
  while (j < s.size() && is_digit(s[j])) ++j;
  const std::size_t nd = j - digits;
  if (nd == 0 && !di && j < s.size() && std::u32string_view(U"一二三四五六七八九十").find(s[j]) !=
                                             std::u32string_view::npos) {
    if (j + 1 < s.size() && s[j + 1] == U'、') return j + 2;
    return i;
  }
  if (nd == 0 || nd > 4) return i;
  if (di) {
    if (j < s.size() && s[j] == U'题') {
      const std::size_t k = skip_spaces(s, j + 1);
      if (k < s.size() && (s[k] == U'.' || s[k] == U':' || s[k] == U'、' || s[k] == U','))
        return k + 1;
      return j + 1;
    }
    return i;
  }
  if (j >= s.size()) return i;
  switch (s[j]) {
    case U'.':
      // "3.14" is a number in the question, "3. " and "3.中国" are question numbers.
      if (j + 1 < s.size() && is_digit(s[j + 1])) return i;
      return j + 1;
    case U'、':
    case U')':
    case U':':
    case U',':
      return j + 1;
    default:
      return i;
  }
}

// Removes one leading decoration at s[i...]; returns the index after it, or i when none. Only one
// question number is removed: in "1、2、3中哪个是质数" the 2 and 3 belong to the question.
std::size_t strip_one_leading(std::u32string_view s, std::size_t i, bool& number_seen) {
  if (i >= s.size()) return i;
  if (is_open_bracket(s[i])) {
    for (std::size_t j = i + 1; j < s.size() && j <= i + 1 + max_bracket_inside; ++j) {
      if (is_close_bracket(s[j])) {
        const std::u32string_view inside = s.substr(i + 1, j - i - 1);
        std::size_t k = skip_spaces(inside, 0), d = k;
        while (d < inside.size() && is_digit(inside[d])) ++d;
        const bool number = !number_seen && d > k && d - k <= 4 && skip_spaces(inside, d) == inside.size();
        if (number) number_seen = true;
        if (number || is_decoration(inside)) return j + 1;
        break;
      }
    }
    return i;
  }
  if (const std::size_t n = label_at(s.substr(i))) {
    const std::size_t j = skip_spaces(s, i + n);
    if (j < s.size() && (s[j] == U':' || s[j] == U'】' || s[j] == U']')) return j + 1;
  }
  if (number_seen) return i;
  const std::size_t after = strip_question_number(s, i);
  number_seen = after != i;
  return after;
}

// Removes one trailing decoration ending before `end`; returns the new end, or end when none.
std::size_t strip_one_trailing(std::u32string_view s, std::size_t end) {
  if (end == 0 || !is_close_bracket(s[end - 1])) return end;
  const std::size_t close = end - 1;
  for (std::size_t j = close; j-- > 0 && close - j <= max_bracket_inside + 1;) {
    if (is_open_bracket(s[j])) {
      if (is_decoration(s.substr(j + 1, close - j - 1))) return j;
      return end;
    }
  }
  return end;
}

bool is_trimmable(char32_t c) {
  return is_space(c) || (is_punct(c) && !is_open_bracket(c) && !is_close_bracket(c));
}

}  // namespace

std::u32string normalize_question(std::string_view utf8) {
  text s = decode_utf8(utf8);
  for (char32_t& c : s) c = fold(c);

  std::size_t begin = 0;
  bool number_seen = false;
  for (;;) {
    while (begin < s.size() && is_trimmable(s[begin])) ++begin;
    const std::size_t next = strip_one_leading(s, begin, number_seen);
    if (next == begin) break;
    begin = next;
  }
  std::size_t end = s.size();
  for (;;) {
    while (end > begin && is_trimmable(s[end - 1])) --end;
    const std::size_t next = strip_one_trailing(std::u32string_view(s).substr(0, end), end);
    if (next == end || next < begin) break;
    end = next;
  }

  text out;
  out.reserve(end - begin);
  for (std::size_t i = begin; i < end; ++i) {
    if (!is_space(s[i]) && !is_punct(s[i])) out.push_back(s[i]);
  }
  return out;
}

}  // namespace chati::service
