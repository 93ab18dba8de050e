#include "accept_header.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace chati::service::http {
namespace {

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string lowercase(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

// "q=0", "q=0.0", "q=0.000" refuse a media type; any other quality accepts it.
bool refused(std::string_view parameters) {
  std::size_t start = 0;
  while (start < parameters.size()) {
    auto end = parameters.find(';', start);
    if (end == std::string_view::npos) end = parameters.size();
    const std::string parameter = lowercase(trim(parameters.substr(start, end - start)));
    if (parameter.starts_with("q=")) {
      const std::string_view value = std::string_view(parameter).substr(2);
      return !value.empty() && value.find_first_not_of("0.") == std::string_view::npos;
    }
    start = end + 1;
  }
  return false;
}

}  // namespace

bool accepts_json(std::string_view accept) {
  std::size_t start = 0;
  while (start < accept.size()) {
    auto end = accept.find(',', start);
    if (end == std::string_view::npos) end = accept.size();
    const std::string_view range = accept.substr(start, end - start);
    const auto semicolon = range.find(';');
    const std::string type = lowercase(trim(range.substr(0, semicolon)));
    if (type == "application/json") {
      return semicolon == std::string_view::npos || !refused(range.substr(semicolon + 1));
    }
    start = end + 1;
  }
  return false;
}

}  // namespace chati::service::http
