// Quality of matching: noisy queries made from the poetry questions must find their question
// (top-1, confident), and questions from poems left out of the bank must get no confident match.
//
//   bank_quality [--poems DIR] [--queries N] [--seed S] [--verbose]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "import_parsers.h"
#include "ngram_index.h"
#include "bench_arguments.h"
#include "noisy_query.h"
#include "normalize.h"
#include "poetry.h"
#include "sample_bank.h"
#include "text.h"

using namespace chati::service;

namespace {

// General questions that neither the sample bank nor the poems answer.
const char* const outside_questions[] = {
    "量子纠缠现象最早由哪位科学家提出？", "2022年世界杯足球赛的冠军是哪支球队？",
    "光刻机的核心部件是什么？", "TCP三次握手的第二步发送什么报文？",
    "会计恒等式是什么？", "增值税的一般纳税人税率是多少？",
    "马克思主义哲学的直接理论来源是什么？", "细胞膜的流动镶嵌模型由谁提出？",
    "Python中列表和元组的区别是什么？", "什么是边际效用递减规律？",
    "我国第一部民法典于哪一年施行？", "心肺复苏时胸外按压的频率是每分钟多少次？",
    "高铁的最高运营时速是多少？", "大学生创新创业训练计划的英文缩写是什么？",
    "毛泽东思想活的灵魂的三个基本方面是什么？", "中国特色社会主义进入新时代的标志是什么？",
    "下列哪项不属于市场经济的特征？", "简述计算机网络的七层模型。",
    "影响供给的因素有哪些？", "公文中的“请示”应当一文几事？",
    "线性代数中矩阵的秩如何定义？", "什么是机器学习中的过拟合？",
    "人民代表大会的代表任期几年？", "心理学中的马斯洛需求层次理论包括哪几层？",
    "《民法典》规定的完全民事行为能力人年龄是多少？", "数据库事务的四个特性是什么？",
    "大学英语四级考试满分是多少？", "企业所得税的基本税率是多少？",
    "三角函数sin的导数是什么？", "如何计算一组数据的标准差？",
};

struct outcome {
  double score = 0;     // of the top match, 0 when none
  bool correct = false; // the top match is the question the query was made from
  std::string kinds;
};

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path poems_dir = default_poems_dir;
  std::size_t queries = 5000;
  unsigned seed = 4;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--poems")) poems_dir = arg_value(i, argc, argv);
    else if (!std::strcmp(argv[i], "--queries")) queries = std::stoul(arg_value(i, argc, argv));
    else if (!std::strcmp(argv[i], "--seed")) seed = static_cast<unsigned>(std::stoul(arg_value(i, argc, argv)));
    else if (!std::strcmp(argv[i], "--verbose")) verbose = true;
    else {
      std::fprintf(stderr, "usage: bank_quality [--poems DIR] [--queries N] [--seed S] [--verbose]\n");
      return 2;
    }
  }

  std::vector<std::vector<question_row>> poems;
  for (const char* name : {"tang300", "song100"}) {
    auto more = poetry_questions_by_poem(poems_dir / name);
    poems.insert(poems.end(), more.begin(), more.end());
  }
  if (poems.empty()) {
    std::fprintf(stderr, "no poems in %s (install fortunes-zh)\n", poems_dir.c_str());
    return 1;
  }
  std::mt19937 shuffle_rng(seed);
  std::shuffle(poems.begin(), poems.end(), shuffle_rng);
  const std::size_t held_out = poems.size() / 10;

  std::vector<question_row> bank;
  auto sample = open_rows(sample_questions_csv());
  parsed_row row;
  while (sample.rows->next(row)) bank.push_back(row.row);
  const std::size_t sample_count = bank.size();
  for (std::size_t p = held_out; p < poems.size(); ++p) bank.insert(bank.end(), poems[p].begin(), poems[p].end());

  std::set<std::u32string> bank_norms;
  std::vector<std::u32string> norms;
  ngram_index::builder builder;
  std::u32string pool;
  for (const question_row& q : bank) {
    norms.push_back(normalize_question(q.question));
    bank_norms.insert(norms.back());
    builder.add(q, encode_utf8(norms.back()));
    pool += norms.back();
  }
  const ngram_index index = std::move(builder).build();

  noisy_query_maker maker(seed, pool);
  auto& rng = maker.rng();
  std::vector<outcome> answerable, unanswerable;
  double lookup_seconds = 0;
  std::size_t lookups = 0;
  auto timed_lookup = [&](const std::string& q) {
    const auto t0 = std::chrono::steady_clock::now();
    auto r = index.lookup(q, 5);
    lookup_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ++lookups;
    return r;
  };

  for (std::size_t n = 0; n < queries; ++n) {
    // Mostly poetry questions, some of the sample bank's.
    const std::size_t target = n % 10 == 0 ? rng() % sample_count : sample_count + rng() % (bank.size() - sample_count);
    const auto q = maker.make(bank[target].question);
    const auto r = timed_lookup(q.text);
    outcome o;
    o.kinds = q.kinds;
    if (!r.matches.empty()) {
      o.score = r.matches[0].score;
      o.correct = normalize_question(r.matches[0].question) == norms[target];
    }
    if (verbose && !(o.correct && o.score >= match_threshold)) {
      std::printf("miss   %.3f %s -> %s [%s]\n", o.score, q.text.c_str(),
                  r.matches.empty() ? "-" : r.matches[0].question.c_str(), bank[target].question.c_str());
    }
    answerable.push_back(o);
  }

  std::vector<std::string> outside;
  for (std::size_t p = 0; p < held_out; ++p) {
    for (const question_row& q : poems[p]) {
      if (!bank_norms.count(normalize_question(q.question))) outside.push_back(q.question);
    }
  }
  std::shuffle(outside.begin(), outside.end(), rng);
  outside.resize(std::min(outside.size(), queries / 3));
  for (const char* q : outside_questions) outside.push_back(q);
  for (const std::string& question : outside) {
    const auto q = maker.decorate(question);
    const auto r = timed_lookup(q.text);
    outcome o;
    if (!r.matches.empty()) o.score = r.matches[0].score;
    if (verbose && o.score >= match_threshold) {
      std::printf("wrong  %.3f %s -> %s\n", o.score, q.text.c_str(), r.matches[0].question.c_str());
    }
    unanswerable.push_back(o);
  }

  auto rates = [&](double t, double& accuracy, double& rejected) {
    std::size_t ok = 0, rej = 0;
    for (const auto& o : answerable) ok += o.correct && o.score >= t;
    for (const auto& o : unanswerable) rej += o.score < t;
    accuracy = 100.0 * static_cast<double>(ok) / static_cast<double>(answerable.size());
    rejected = 100.0 * static_cast<double>(rej) / static_cast<double>(unanswerable.size());
  };

  std::printf("bank: %zu questions (%zu sample, %zu poems of %zu; %zu poems held out)\n", bank.size(), sample_count,
              poems.size() - held_out, poems.size(), held_out);
  std::printf("queries: %zu answerable (noisy), %zu unanswerable\n", answerable.size(), unanswerable.size());
  double accuracy, rejected;
  rates(match_threshold, accuracy, rejected);
  std::printf("threshold %.2f: top-1 accuracy %.2f%%, unanswerable rejected %.2f%%\n", match_threshold, accuracy,
              rejected);
  std::printf("mean lookup %.1f us\n", 1e6 * lookup_seconds / static_cast<double>(lookups));

  std::map<std::string, std::pair<std::size_t, std::size_t>> by_kind;
  for (const auto& o : answerable) {
    std::size_t start = 0;
    for (;;) {
      const std::size_t plus = o.kinds.find('+', start);
      auto& [ok, all] = by_kind[o.kinds.substr(start, plus - start)];
      ++all;
      ok += o.correct && o.score >= match_threshold;
      if (plus == std::string::npos) break;
      start = plus + 1;
    }
  }
  std::printf("top-1 accuracy by noise:");
  for (const auto& [kind, counts] : by_kind) {
    std::printf(" %s %.2f%% (%zu)", kind.c_str(), 100.0 * static_cast<double>(counts.first) / static_cast<double>(counts.second),
                counts.second);
  }
  std::printf("\nthreshold sweep (accuracy / rejected):\n");
  for (double t = 0.50; t < 0.801; t += 0.02) {
    rates(t, accuracy, rejected);
    std::printf("  %.2f: %6.2f%% / %6.2f%%\n", t, accuracy, rejected);
  }
  return 0;
}
