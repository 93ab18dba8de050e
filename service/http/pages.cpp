#include "pages.h"

#include <algorithm>
#include <cmath>

#include "html_text.h"

namespace chati::service::http {
namespace {

constexpr std::size_t runners_up_shown = 3;

constexpr std::string_view style = R"(<style>
body{margin:0;padding:8px 12px;font:14px/1.45 "WenQuanYi Micro Hei","Microsoft YaHei",sans-serif;color:#222;background:#fff}
.asked{margin:0 0 6px;color:#666;font-size:12px;white-space:nowrap;overflow:hidden;text-overflow:ellipsis}
.best{border-left:4px solid #2a7ae2;padding:4px 10px;background:#f3f7fd}
.question{margin:0;font-size:14px}
.type{display:inline-block;margin-right:6px;padding:0 4px;border-radius:3px;background:#2a7ae2;color:#fff;font-size:12px}
.options{margin:4px 0 0;white-space:pre-line;color:#333}
.answer{margin:6px 0 0;font-size:20px;font-weight:bold;color:#c0392b;word-break:break-all}
.score{color:#888;font-size:12px;font-weight:normal}
h2{margin:8px 0 2px;font-size:12px;color:#666;font-weight:normal}
ol{margin:0;padding-left:20px;font-size:12px;color:#444}
li{white-space:nowrap;overflow:hidden;text-overflow:ellipsis}
.nothing{margin:16px 0 6px;font-size:18px;font-weight:bold;color:#c0392b}
.hint{margin:4px 0;color:#555}
</style>)";

std::string percent(double score) {
  const double clamped = std::isfinite(score) ? std::clamp(score, 0.0, 1.0) : 0.0;
  return std::to_string(static_cast<int>(std::lround(clamped * 100))) + "%";
}

std::string page(std::string_view title, std::string_view body) {
  std::string out;
  out.reserve(style.size() + body.size() + 256);
  out += "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width\"><title>";
  out += html_escape(title);
  out += "</title>";
  out += style;
  out += "</head><body>\n";
  out += body;
  out += "\n</body></html>\n";
  return out;
}

std::string asked_line(std::string_view question, std::string_view understood) {
  std::string out = "<p class=\"asked\">你的问题：" + html_escape(question);
  if (!understood.empty() && understood != question) {
    out += "（按「" + html_escape(understood) + "」查找）";
  }
  return out + "</p>\n";
}

std::string best_match(const match& best) {
  std::string out = "<div class=\"best\"><p class=\"question\">";
  if (!best.type.empty()) out += "<span class=\"type\">" + html_escape(best.type) + "</span>";
  out += html_escape(best.question) + "</p>\n";
  if (!best.options.empty()) out += "<p class=\"options\">" + html_escape(best.options) + "</p>\n";
  out += "<p class=\"answer\">答案：" + html_escape(best.answer) + " <span class=\"score\">相似度 " +
         percent(best.score) + "</span></p></div>\n";
  return out;
}

std::string runners_up(const std::vector<match>& matches) {
  if (matches.size() < 2) return {};
  std::string out = "<h2>其他相近的题目</h2><ol>\n";
  const std::size_t end = std::min(matches.size(), runners_up_shown + 1);
  for (std::size_t i = 1; i < end; ++i) {
    const match& m = matches[i];
    out += "<li>" + html_escape(m.question) + " —— 答案：<b>" + html_escape(m.answer) +
           "</b> <span class=\"score\">" + percent(m.score) + "</span></li>\n";
  }
  return out + "</ol>";
}

std::string no_match(std::string_view question, const lookup_result& result) {
  std::string body = asked_line(question, result.understood);
  body += "<p class=\"nothing\">题库里没有找到足够相近的题目</p>\n";
  if (!result.matches.empty()) {
    body += "<p class=\"hint\">最接近的一题相似度只有 " + percent(result.matches.front().score) +
            "，为避免给出错误答案，这里不显示它。</p>\n";
  }
  body += "<p class=\"hint\">请检查题目是否复制完整、有没有错字，或者只复制题干中最有特点的一段再查。</p>";
  return page("未找到答案 - 查题", body);
}

}  // namespace

std::string answer_page(std::string_view question, const lookup_result& result) {
  if (result.matches.empty() || !result.matches.front().confident) return no_match(question, result);
  const match& best = result.matches.front();
  std::string body = asked_line(question, result.understood);
  body += best_match(best);
  body += runners_up(result.matches);
  return page("答案：" + best.answer + " - 查题", body);
}

std::string empty_question_page() {
  return page("请输入题目 - 查题",
              "<p class=\"nothing\">请先输入要查的题目</p>\n"
              "<p class=\"hint\">把题目（题干即可，不必带选项）粘贴到输入框里再查。</p>\n"
              "<p class=\"hint\">题号、题型标记（如【单选题】）和分值（如（2分））可以留着，查找时会自动忽略。</p>");
}

std::string error_page(int status, std::string_view message) {
  const std::string code = std::to_string(status);
  return page("错误 " + code + " - 查题",
              "<p class=\"nothing\">无法处理这个请求（" + code + "）</p>\n<p class=\"hint\">" +
                  html_escape(message) + "</p>");
}

}  // namespace chati::service::http
