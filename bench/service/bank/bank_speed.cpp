// Speed and memory with a large generated bank: import rate, start-up time and memory of the
// index, and lookup latency; with --fts5, the same candidate search with SQLite's FTS5 trigram
// index for comparison.
//
//   bank_speed [--questions N] [--dir DIR] [--lookups N] [--fts5] [--reuse]
//
// --reuse skips generating and importing when DIR already holds a bank of N questions.

#include <sqlite3.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bank_file.h"
#include "lookup.h"
#include "bench_arguments.h"
#include "noisy_query.h"
#include "normalize.h"
#include "poetry.h"
#include "text.h"

using namespace chati::service;
using clock_type = std::chrono::steady_clock;

namespace {

double seconds_since(clock_type::time_point t0) {
  return std::chrono::duration<double>(clock_type::now() - t0).count();
}

// VmRSS or VmHWM of this process, in MiB.
double memory_mib(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.starts_with(field)) return std::stod(line.substr(std::strlen(field) + 1)) / 1024.0;
  }
  return 0;
}

std::size_t open_question_index_size(const std::filesystem::path& bank) {
  auto db = open_bank_for_reading(bank);
  auto st = prepare(db.get(), "SELECT count(*) FROM question");
  return sqlite3_step(st.get()) == SQLITE_ROW ? static_cast<std::size_t>(sqlite3_column_int64(st.get(), 0)) : 0;
}

// CPU time of this thread: steadier than wall time on a machine shared with other work.
double thread_cpu_us() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

std::string csv_field(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// Questions in the shape of exam questions, made of verses put together at random.
std::vector<std::pair<std::string, std::string>> generate(std::size_t n, const std::vector<std::string>& verses,
                                                          std::mt19937& rng) {
  static const char* const templates[] = {
      "“%s，%s”的下一句是？", "“%s”的意思是什么？%s", "下列关于“%s”的说法，正确的是%s？",
      "%s，%s出自哪里？",     "“%s”中体现了%s的什么思想？", "请解释“%s”与“%s”的关系。",
      "%s的作者在%s中表达了什么感情？", "“%s”一句运用了什么修辞手法？%s",
  };
  std::set<std::string> seen;
  std::vector<std::pair<std::string, std::string>> out;
  char buf[512];
  while (out.size() < n) {
    const char* t = templates[rng() % std::size(templates)];
    const std::string& a = verses[rng() % verses.size()];
    const std::string& b = verses[rng() % verses.size()];
    std::snprintf(buf, sizeof buf, t, a.c_str(), b.c_str());
    if (!seen.insert(buf).second) continue;
    out.emplace_back(buf, verses[rng() % verses.size()]);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t count = 1000000, lookups = 2000;
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "chati-bank-speed";
  bool fts5 = false;
  bool reuse = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--questions")) count = std::stoul(arg_value(i, argc, argv));
    else if (!std::strcmp(argv[i], "--dir")) dir = arg_value(i, argc, argv);
    else if (!std::strcmp(argv[i], "--lookups")) lookups = std::stoul(arg_value(i, argc, argv));
    else if (!std::strcmp(argv[i], "--fts5")) fts5 = true;
    else if (!std::strcmp(argv[i], "--reuse")) reuse = true;
    else {
      std::fprintf(stderr, "usage: bank_speed [--questions N] [--dir DIR] [--lookups N] [--fts5] [--reuse]\n");
      return 2;
    }
  }

  std::vector<std::string> verses;
  for (const auto& q : poetry_questions_in(default_poems_dir)) {
    if (q.question.find("的下一句是") != std::string::npos) verses.push_back(q.answer);
  }
  if (verses.empty()) {
    std::fprintf(stderr, "no poems in %s (install fortunes-zh)\n", default_poems_dir.c_str());
    return 1;
  }
  std::mt19937 rng(11);
  const auto questions = generate(count, verses, rng);

  std::filesystem::create_directories(dir);
  const auto csv = dir / "questions.csv";
  const auto bank = dir / "bank.sqlite";
  reuse = reuse && std::filesystem::exists(bank) && open_question_index_size(bank) == count;
  if (!reuse) std::filesystem::remove(bank);
  if (!reuse) {
    std::ofstream out(csv, std::ios::binary);
    out << "question,answer\n";
    for (const auto& [q, a] : questions) out << csv_field(q) << ',' << csv_field(a) << '\n';
  }
  std::printf("bank: %zu generated questions, CSV %.1f MiB\n", questions.size(),
              static_cast<double>(std::filesystem::file_size(csv)) / (1 << 20));

  if (!reuse) {
    std::string bank_arg = bank.string(), csv_arg = csv.string();
    char* args[] = {const_cast<char*>("import"), const_cast<char*>("--bank"), bank_arg.data(), csv_arg.data()};
    const auto t0 = clock_type::now();
    if (import_command(4, args) != 0) return 1;
    const double s = seconds_since(t0);
    std::printf("import: %.1f s, %.0f questions/s, bank file %.1f MiB\n", s, static_cast<double>(count) / s,
                static_cast<double>(std::filesystem::file_size(bank)) / (1 << 20));
  }

  const double rss_before = memory_mib("VmRSS:");
  const auto t0 = clock_type::now();
  const auto index = open_question_index(bank);
  const double startup = seconds_since(t0);
  std::printf("start-up (open_question_index): %.2f s; RSS %.0f MiB (index %.0f MiB), peak %.0f MiB\n", startup,
              memory_mib("VmRSS:"), memory_mib("VmRSS:") - rss_before, memory_mib("VmHWM:"));

  std::u32string pool;
  for (std::size_t i = 0; i < 2000; ++i) pool += decode_utf8(verses[rng() % verses.size()]);
  noisy_query_maker maker(5, pool);
  std::vector<double> times, cpu_times;
  std::vector<std::string> queries;
  std::size_t correct = 0;
  for (std::size_t n = 0; n < lookups; ++n) {
    const auto& target = questions[rng() % questions.size()];
    const auto q = maker.make(target.first);
    queries.push_back(q.text);
    const auto t = clock_type::now();
    const double cpu = thread_cpu_us();
    const auto r = index->lookup(q.text, 5);
    cpu_times.push_back(thread_cpu_us() - cpu);
    times.push_back(seconds_since(t) * 1e6);
    correct += !r.matches.empty() && r.matches[0].confident &&
               normalize_question(r.matches[0].question) == normalize_question(target.first);
  }
  std::printf("lookup (%zu noisy queries): median %.0f us, p90 %.0f us, p99 %.0f us, max %.0f us; top-1 %.2f%%\n",
              times.size(), percentile(times, 0.5), percentile(times, 0.9), percentile(times, 0.99),
              percentile(times, 1.0), 100.0 * static_cast<double>(correct) / static_cast<double>(times.size()));
  std::printf("lookup CPU time: median %.0f us, p90 %.0f us, p99 %.0f us\n", percentile(cpu_times, 0.5),
              percentile(cpu_times, 0.9), percentile(cpu_times, 0.99));

  if (fts5) {
    auto db = open_bank_for_writing(bank);
    auto t = clock_type::now();
    exec(db.get(),
         "DROP TABLE IF EXISTS norm_fts;"
         "CREATE VIRTUAL TABLE norm_fts USING fts5(norm, content='question', content_rowid='id', tokenize='trigram');"
         "INSERT INTO norm_fts(norm_fts) VALUES('rebuild');");
    std::printf("fts5 trigram: built in %.1f s, bank file now %.1f MiB\n", seconds_since(t),
                static_cast<double>(std::filesystem::file_size(bank)) / (1 << 20));
    auto st = prepare(db.get(), "SELECT rowid FROM norm_fts WHERE norm_fts MATCH ?1 ORDER BY rank LIMIT 64");
    std::vector<double> fts_times;
    for (std::size_t n = 0; n < std::min<std::size_t>(queries.size(), 100); ++n) {
      const std::u32string q = normalize_question(queries[n]);
      std::string match;
      for (std::size_t i = 0; i + 3 <= q.size(); ++i) {
        match += (match.empty() ? "\"" : " OR \"") + encode_utf8(q.substr(i, 3)) + "\"";
      }
      if (match.empty()) continue;
      t = clock_type::now();
      sqlite3_bind_text(st.get(), 1, match.c_str(), -1, SQLITE_TRANSIENT);
      while (sqlite3_step(st.get()) == SQLITE_ROW) {
      }
      sqlite3_reset(st.get());
      fts_times.push_back(seconds_since(t) * 1e6);
    }
    std::printf("fts5 trigram candidates (OR of the query's trigrams, bm25, top 64): median %.0f us, p90 %.0f us\n",
                percentile(fts_times, 0.5), percentile(fts_times, 0.9));
    exec(db.get(), "DROP TABLE norm_fts; VACUUM;");
  }
  return 0;
}
