// `chati-server` as a user runs it: help, bad flags, bank and port errors, and a real serve.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>

#include "child_process.h"
#include "raw_http.h"

namespace chati::service::http::testing {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

const std::string server_binary = CHATI_SERVER_PATH;

class serve_command : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    scratch_ = fs::temp_directory_path() / ("chati-http-" + std::to_string(::getpid()) + "-" + test->name());
    fs::remove_all(scratch_);
    fs::create_directories(scratch_);
  }
  void TearDown() override { fs::remove_all(scratch_); }

  finished_process run(std::vector<std::string> args) {
    args.insert(args.begin(), server_binary);
    return run_to_end(args, isolated_home(), scratch_, std::chrono::seconds(60));
  }

  // The default bank lives under XDG_DATA_HOME: point it into the scratch folder.
  std::vector<std::string> isolated_home() const { return {"XDG_DATA_HOME=" + (scratch_ / "data").string()}; }

  fs::path bank_with(const std::string& csv) {
    const fs::path file = scratch_ / "questions.csv";
    std::ofstream(file) << csv;
    const fs::path bank = scratch_ / "bank.sqlite";
    const finished_process imported = run({"import", "--bank", bank.string(), file.string()});
    EXPECT_EQ(imported.exit_code, 0) << imported.err;
    return bank;
  }

  fs::path scratch_;
};

// Reads the "listening on http://HOST:PORT/" line of a starting server.
int announced_port(child_process& server) {
  const auto line = server.read_line(std::chrono::seconds(60));
  if (!line) return 0;
  std::smatch parts;
  if (!std::regex_match(*line, parts, std::regex(R"(listening on http://127\.0\.0\.1:(\d+)/)"))) return 0;
  return std::stoi(parts[1]);
}

TEST_F(serve_command, help_describes_the_program_and_each_command) {
  const finished_process program = run({"--help"});
  EXPECT_EQ(program.exit_code, 0);
  EXPECT_NE(program.out.find("serve"), std::string::npos);
  EXPECT_NE(program.out.find("import"), std::string::npos);
  const finished_process serve = run({"serve", "--help"});
  EXPECT_EQ(serve.exit_code, 0);
  EXPECT_NE(serve.out.find("--bank PATH"), std::string::npos);
  EXPECT_NE(serve.out.find("--listen HOST:PORT"), std::string::npos);
  EXPECT_NE(serve.out.find("127.0.0.1:8765"), std::string::npos);
}

TEST_F(serve_command, bad_usage_exits_2_with_a_message) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frobnicate"},
      {"serve", "--bogus"},
      {"serve", "stray"},
      {"serve", "--bank"},
      {"serve", "--listen"},
      {"serve", "--listen", "localhost"},
      {"serve", "--listen", "127.0.0.1:65536"},
      {"serve", "--listen", "127.0.0.1:-1"},
      {"serve", "--listen", "::1:80"},
  };
  for (const auto& args : cases) {
    const finished_process result = run(args);
    std::string shown;
    for (const auto& arg : args) shown += arg + " ";
    EXPECT_EQ(result.exit_code, 2) << shown;
    EXPECT_FALSE(result.err.empty()) << shown;
  }
}

TEST_F(serve_command, missing_or_broken_bank_exits_1_with_a_message) {
  const fs::path missing = scratch_ / "nowhere" / "bank.sqlite";
  const finished_process absent = run({"serve", "--bank", missing.string(), "--listen", "127.0.0.1:0"});
  EXPECT_EQ(absent.exit_code, 1);
  EXPECT_NE(absent.err.find(missing.string()), std::string::npos) << absent.err;

  const fs::path garbage = scratch_ / "garbage.sqlite";
  std::ofstream(garbage) << "this is not a question bank, not even SQLite\n";
  const finished_process broken = run({"serve", "--bank", garbage.string(), "--listen", "127.0.0.1:0"});
  EXPECT_EQ(broken.exit_code, 1);
  EXPECT_FALSE(broken.err.empty());
}

TEST_F(serve_command, busy_port_exits_1_with_a_message) {
  const fs::path bank = bank_with("question,answer\n中国的首都是哪里？,北京\n");
  const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(holder, 1), 0);
  socklen_t length = sizeof address;
  ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
  const std::string port = std::to_string(ntohs(address.sin_port));

  const finished_process result = run({"serve", "--bank", bank.string(), "--listen", "127.0.0.1:" + port});
  ::close(holder);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("already in use"), std::string::npos) << result.err;
}

TEST_F(serve_command, serves_a_bank_until_sigterm) {
  const fs::path bank = bank_with("question,answer,options,type\n中国的首都是哪里？,北京,\"A. 北京\nB. 上海\",单选题\n");
  child_process server({server_binary, "serve", "--bank", bank.string(), "--listen", "127.0.0.1:0"}, isolated_home(),
                       scratch_ / "serve.err");
  const int port = announced_port(server);
  ASSERT_NE(port, 0) << read_file(scratch_ / "serve.err");

  const auto response = request_once(port, get_request("/tmbx/qutimu.php?w=%E4%B8%AD%E5%9B%BD%E7%9A%84%E9%A6%96%E9%83%BD%E6%98%AF%E5%93%AA%E9%87%8C"));
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200);
  EXPECT_NE(response->body.find("答案：北京"), std::string::npos);
  const auto raw_gbk = request_once(port, get_request("/tmbx/qutimu.php?w=\xD6\xD0\xB9\xFA\xB5\xC4\xCA\xD7\xB6\xBC\xCA\xC7\xC4\xC4\xC0\xEF"));
  ASSERT_TRUE(raw_gbk);
  EXPECT_NE(raw_gbk->body.find("答案：北京"), std::string::npos);

  server.signal(SIGTERM);
  EXPECT_EQ(server.wait(std::chrono::seconds(60)), 0);
  const std::string log = read_file(scratch_ / "serve.err");
  EXPECT_NE(log.find(" 127.0.0.1 GET /tmbx/qutimu.php?w="), std::string::npos) << log;
  EXPECT_NE(log.find(" 200 "), std::string::npos) << log;
}

TEST_F(serve_command, without_a_bank_serves_the_sample_bank_it_creates) {
  child_process server({server_binary, "serve", "--listen", "127.0.0.1:0"}, isolated_home(), scratch_ / "serve.err");
  const int port = announced_port(server);
  ASSERT_NE(port, 0) << read_file(scratch_ / "serve.err");
  EXPECT_TRUE(fs::exists(scratch_ / "data" / "chati" / "bank.sqlite"));
  const auto health = request_once(port, get_request("/healthz"));
  ASSERT_TRUE(health);
  EXPECT_EQ(health->status, 200);
  EXPECT_EQ(health->body.find("\"questions\":0"), std::string::npos) << health->body;
  server.signal(SIGINT);
  EXPECT_EQ(server.wait(std::chrono::seconds(60)), 0);
}

}  // namespace
}  // namespace chati::service::http::testing
