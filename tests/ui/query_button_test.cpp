#include "ui/query_button.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

#include <fstream>

#include "recorded_runtime.h"

namespace {

const std::string prefix = "http://lookup.test:8765/tmbx/qutimu.php?w=";

TEST(QueryUrlPrefix, IsTheWholeConstantBlock) {
  EXPECT_EQ(std::string(ui::query_url_prefix()), prefix);
  EXPECT_EQ(ui::constant_block().size(), prefix.size() + 1);
}

TEST(QueryButton, WritesThePrefixAndTheQuestionBytesUnchanged) {
  const struct {
    const char* what;
    std::string question;
  } rows[] = {
      {"three letters", "abc"},
      {"spaces", " a  b "},
      {"ampersand", "a&b=c"},
      {"number sign", "a#b"},
      {"percent and plus", "100% 1+1 %zz"},
      {"Chinese in GBK", "\xD6\xD0\xCE\xC4"},
      {"outside GBK", "\x94\x39\xFC\x36"},
  };
  for (const auto& r : rows) {
    auto& rec = recorded_runtime::instance();
    rec.reset();
    rec.edit_box_content = r.question;
    ui::query_button_click_handler();
    const std::string url = prefix + r.question;
    EXPECT_EQ(rec.addresses_written, std::vector<std::string>{url}) << r.what;
    const std::string q = std::to_string(r.question.size() + 1);
    const std::string u = std::to_string(url.size() + 1);
    // The question is given back before the write, the query URL after it.
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"read 369172821 8", "allocate " + q, "allocate " + u,
                                                   "release " + q, "write 369172874 11", "release " + u}))
        << r.what;
    EXPECT_EQ(rec.live_blocks, 0u);
  }
}

TEST(QueryButton, EmptyEditBoxSendsThePrefixAloneAndReleasesNoQuestion) {
  auto& rec = recorded_runtime::instance();
  rec.reset();
  ui::query_button_click_handler();
  EXPECT_EQ(rec.addresses_written, std::vector<std::string>{prefix});
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"read 369172821 8",
                                                 "allocate " + std::to_string(prefix.size() + 1),
                                                 "write 369172874 11",
                                                 "release " + std::to_string(prefix.size() + 1)}));
}

long resident_kib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

TEST(QueryButton, TenThousandQueriesKeepNothing) {
  auto& rec = recorded_runtime::instance();
  rec.edit_box_content = std::string(200, 'q');
  for (int i = 0; i < 1000; ++i) {
    rec.reset();
    rec.edit_box_content = std::string(200, 'q');
    ui::query_button_click_handler();
  }
  const long before = resident_kib();
  for (int i = 0; i < 10000; ++i) {
    rec.calls.clear();
    rec.addresses_written.clear();
    ui::query_button_click_handler();
    ASSERT_EQ(rec.live_blocks, 0u);
  }
  // Every block comes back; what the process holds does not grow with the number of queries.
  // (AddressSanitizer keeps freed blocks in quarantine, so there only the block count and its
  // leak check speak.)
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(resident_kib() - before, 1024);
#else
  (void)before;
#endif
}

}  // namespace
