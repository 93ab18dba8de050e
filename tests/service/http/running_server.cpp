#include "running_server.h"

#include <stdexcept>

namespace chati::service::http::testing {

std::vector<match> sample_questions() {
  return {
      {"中国的首都是哪里？", "北京", "A. 北京\nB. 上海\nC. 广州", "单选题", 0, false},
      {"床前明月光的下一句是？", "疑是地上霜", "", "填空题", 0, false},
      {"1+1=?", "2", "", "", 0, false},
      {"Tom & Jerry 是猫和老鼠吗？", "是", "", "判断题", 0, false},
      {"a&b=c", "and", "", "", 0, false},
      {"100%的概率", "必然", "", "", 0, false},
  };
}

running_server::running_server(std::vector<match> questions, server_settings settings)
    : index_(std::move(questions)) {
  settings.access_log = [this](std::string_view line) {
    std::lock_guard lock(log_mutex_);
    log_lines_.emplace_back(line);
    log_grew_.notify_all();
  };
  server_ = std::make_unique<lookup_server>(index_, std::move(settings));
  const bind_result bound = server_->bind({"127.0.0.1", 0});
  if (!bound.port) throw std::runtime_error("test server cannot bind: " + bound.error);
  port_ = *bound.port;
  serving_ = std::thread([this] { server_->run(); });
}

running_server::~running_server() {
  server_->stop();
  serving_.join();
}

std::vector<std::string> running_server::log_lines(std::size_t count) const {
  std::unique_lock lock(log_mutex_);
  log_grew_.wait_for(lock, std::chrono::seconds(20), [&] { return log_lines_.size() >= count; });
  return log_lines_;
}

}  // namespace chati::service::http::testing
