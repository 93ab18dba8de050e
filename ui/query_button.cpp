#include "ui/query_button.h"

#include "runtime/memory.h"
#include "runtime/properties.h"
#include "ui/start_window.h"
#include "ui/text_join.h"

namespace ui {

namespace {

// The host is a build setting (CHATI_LOOKUP_HOST); the program reads no configuration.
constexpr char the_constant_block[] = "http://" CHATI_LOOKUP_HOST "/tmbx/qutimu.php?w=";

}  // namespace

std::span<const char> constant_block() { return the_constant_block; }

const char* query_url_prefix() { return the_constant_block; }

void query_button_click_handler() {
  char* question =
      runtime::read_property(start_window, 编辑框1, edit_box_content, -1).text;
  char* query_url = text_join({query_url_prefix(), question});
  if (question) runtime::release(question);
  runtime::write_property(start_window, 超文本浏览框1, browser_box_address, -1,
                          runtime::property_value::of_text(query_url));
  if (query_url) runtime::release(query_url);
}

}  // namespace ui
