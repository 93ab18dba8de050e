#pragma once

#include <span>

namespace ui {

// The program's constant block: the query URL prefix with its terminating zero, and nothing else.
std::span<const char> constant_block();

// "http://" + the lookup host + "/tmbx/qutimu.php?w=": the question follows it as the value of w.
const char* query_url_prefix();

// Bound to the click of 按钮1: sends the question in 编辑框1 to the lookup service by writing the
// query URL to the address of 超文本浏览框1, whose page then shows the answer.
void query_button_click_handler();

}  // namespace ui
