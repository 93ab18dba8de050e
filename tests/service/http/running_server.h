#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fake_question_index.h"
#include "lookup_server.h"

namespace chati::service::http::testing {

// The questions most tests ask about.
std::vector<match> sample_questions();

// A lookup_server over a fake index, serving on 127.0.0.1 on a free port from construction to
// destruction, its access log kept in memory.
class running_server {
 public:
  explicit running_server(std::vector<match> questions = sample_questions(), server_settings settings = {});
  ~running_server();

  int port() const { return port_; }
  const fake_question_index& index() const { return index_; }
  // The access log once it has at least `count` lines (it is written just after each
  // response), or as it is after a generous wait.
  std::vector<std::string> log_lines(std::size_t count) const;

 private:
  fake_question_index index_;
  mutable std::mutex log_mutex_;
  mutable std::condition_variable log_grew_;
  std::vector<std::string> log_lines_;
  std::unique_ptr<lookup_server> server_;
  std::thread serving_;
  int port_ = 0;
};

}  // namespace chati::service::http::testing
