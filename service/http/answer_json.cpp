#include "answer_json.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

namespace chati::service::http {
namespace {

using json = nlohmann::ordered_json;

std::string dump(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// Four decimals are plenty to rank by and keep the numbers short.
double rounded_score(double score) {
  if (!std::isfinite(score)) return 0;
  return std::round(std::clamp(score, 0.0, 1.0) * 10000) / 10000;
}

}  // namespace

std::string answer_json(std::string_view query, const lookup_result& result) {
  json matches = json::array();
  for (const match& m : result.matches) {
    if (!m.confident) continue;
    matches.push_back(json{{"question", m.question},
                           {"answer", m.answer},
                           {"options", m.options},
                           {"type", m.type},
                           {"score", rounded_score(m.score)}});
  }
  return dump(json{{"query", std::string(query)}, {"matches", std::move(matches)}});
}

std::string error_json(int status, std::string_view message) {
  return dump(json{{"error", json{{"status", status}, {"message", std::string(message)}}}});
}

std::string health_json(std::size_t questions) {
  return dump(json{{"status", "ok"}, {"questions", questions}});
}

}  // namespace chati::service::http
