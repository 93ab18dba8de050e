#include "poetry.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "text.h"

namespace chati::service {
namespace {

struct clause {
  std::u32string text;
  bool ends_sentence = false;
};

struct poem {
  std::string title;
  std::string author;
  std::vector<std::string> lines;
};

std::string strip_escapes(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\x1b' && i + 1 < s.size() && s[i + 1] == '[') {
      std::size_t j = i + 2;
      while (j < s.size() && !((s[j] >= 'A' && s[j] <= 'Z') || (s[j] >= 'a' && s[j] <= 'z'))) ++j;
      i = j;
      continue;
    }
    out.push_back(s[i]);
  }
  return out;
}

std::string trim_spaces(std::string s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

bool is_cjk(char32_t c) { return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF); }

bool is_clause_end(char32_t c) { return c == U'，' || c == U'、'; }
bool is_sentence_end(char32_t c) {
  return c == U'。' || c == U'？' || c == U'！' || c == U'；' || c == U'：';
}

std::string title_of(const std::string& line) {
  const auto open = line.find("《");
  const auto close = line.rfind("》");
  if (open == std::string::npos || close == std::string::npos || close <= open) return {};
  return line.substr(open + 3, close - open - 3);
}

std::string author_of(const std::string& line) {
  std::string rest = line.substr(6);  // after "作者"
  for (const char* colon : {"：", ":"}) {
    if (rest.starts_with(colon)) rest = rest.substr(std::string(colon).size());
  }
  const auto paren = rest.find("（");
  if (paren != std::string::npos) rest = rest.substr(0, paren);
  return trim_spaces(rest);
}

std::vector<poem> read_poems(const std::string& content) {
  std::vector<poem> poems;
  poem current;
  bool in_body = false;
  auto flush = [&] {
    if (!current.title.empty() && !current.author.empty() && !current.lines.empty()) {
      // A preface ("并序") comes before the first blank line of the body.
      if (current.title.find("并序") != std::string::npos) {
        for (std::size_t i = 0; i < current.lines.size(); ++i) {
          if (current.lines[i].empty()) {
            current.lines.erase(current.lines.begin(), current.lines.begin() + static_cast<std::ptrdiff_t>(i));
            break;
          }
        }
      }
      poems.push_back(std::move(current));
    }
    current = poem{};
    in_body = false;
  };
  std::istringstream in(content);
  std::string raw;
  while (std::getline(in, raw)) {
    const std::string line = trim_spaces(strip_escapes(raw));
    if (line == "%") {
      flush();
    } else if (current.title.empty() && !in_body) {
      current.title = title_of(line);
    } else if (!in_body && line.starts_with("作者")) {
      current.author = author_of(line);
      in_body = true;
    } else if (in_body) {
      current.lines.push_back(line);
    }
  }
  flush();
  return poems;
}

std::vector<clause> clauses_of(const poem& p) {
  std::vector<clause> out;
  for (const std::string& line : p.lines) {
    const std::u32string text = decode_utf8(line);
    bool punctuated = false;
    for (char32_t c : text) punctuated = punctuated || is_clause_end(c) || is_sentence_end(c);
    if (!punctuated) continue;  // headings such as "其一"
    clause cur;
    for (char32_t c : text) {
      if (is_cjk(c)) {
        cur.text.push_back(c);
      } else if (is_clause_end(c) || is_sentence_end(c)) {
        cur.ends_sentence = is_sentence_end(c);
        if (!cur.text.empty()) out.push_back(cur);
        cur = clause{};
      }
    }
    if (!cur.text.empty()) out.push_back(cur);
    if (!out.empty()) out.back().ends_sentence = true;
  }
  return out;
}

bool usable(const clause& c) { return c.text.size() >= 2 && c.text.size() <= 12; }

}  // namespace

std::vector<std::vector<question_row>> poetry_questions_by_poem(const std::filesystem::path& poems) {
  std::ifstream in(poems, std::ios::binary);
  if (!in) return {};
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::vector<question_row>> all;
  const std::string type = "诗词";
  for (const poem& p : read_poems(content)) {
    std::vector<question_row>& rows = all.emplace_back();
    const std::string source = p.author + "《" + p.title + "》";
    rows.push_back({"《" + p.title + "》的作者是？", p.author, "", type});
    const std::vector<clause> cs = clauses_of(p);
    for (std::size_t i = 0; i < cs.size(); ++i) {
      if (!usable(cs[i])) continue;
      const std::string verse = encode_utf8(cs[i].text);
      if (cs[i].text.size() >= 4) rows.push_back({"“" + verse + "”出自哪首诗？", source, "", type});
      if (i + 1 < cs.size() && !cs[i].ends_sentence && usable(cs[i + 1])) {
        const std::string next = encode_utf8(cs[i + 1].text);
        rows.push_back({"“" + verse + "”的下一句是？", next, "", type});
        rows.push_back({"“" + next + "”的上一句是？", verse, "", type});
      }
    }
  }
  return all;
}

std::vector<question_row> poetry_questions(const std::filesystem::path& poems) {
  std::vector<question_row> rows;
  for (auto& poem : poetry_questions_by_poem(poems)) {
    rows.insert(rows.end(), std::make_move_iterator(poem.begin()), std::make_move_iterator(poem.end()));
  }
  return rows;
}

std::vector<question_row> poetry_questions_in(const std::filesystem::path& dir) {
  std::vector<question_row> rows;
  for (const char* name : {"tang300", "song100"}) {
    auto more = poetry_questions(dir / name);
    rows.insert(rows.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  }
  return rows;
}

}  // namespace chati::service
