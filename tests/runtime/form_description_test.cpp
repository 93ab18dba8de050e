#include "runtime/form_description.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

void handler_a() {}
void handler_b() {}
constexpr runtime::routine routines[] = {handler_a, handler_b};

std::string start_window_form() {
  std::ifstream in(START_WINDOW_FORM, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST(FormDescription, ReadsTheStartWindow) {
  const auto form = runtime::read_form_description(start_window_form(), routines);
  const runtime::window_record* w = form.find(1375797249);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->self.width, 670);
  EXPECT_EQ(w->self.settings->layout_version, 6u);
  EXPECT_EQ(w->self.handler_for(0), &handler_a);
  ASSERT_EQ(w->controls.size(), 4u);
  const char* names[] = {"超文本浏览框1", "透明标签1", "按钮1", "编辑框1"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(w->controls[i].name, names[i]);
  EXPECT_EQ(w->controls[2].handler_for(0), &handler_b);
  EXPECT_EQ(w->controls[0].handler_for(0), nullptr);
  EXPECT_FALSE(w->controls[3].settings.has_value());
}

TEST(FormDescription, LayoutVersionIsLeftForLoadingToCheck) {
  const auto form = runtime::read_form_description(
      replaced(start_window_form(), "layout-version=\"6\"", "layout-version=\"7\""), routines);
  EXPECT_EQ(form.find(1375797249)->self.settings->layout_version, 7u);
}

TEST(FormDescription, UnreadableDataIsRefused) {
  const std::string good = start_window_form();
  const struct {
    const char* what;
    std::string data;
  } cases[] = {
      {"empty", ""},
      {"not XML", "form"},
      {"truncated", good.substr(0, good.size() / 2)},
      {"wrong root", replaced(replaced(good, "<form>", "<forms>"), "</form>", "</forms>")},
      {"unknown kind", replaced(good, "kind=\"Button\"", "kind=\"Knob\"")},
      {"unknown setting", replaced(good, "\"border_style\"", "\"border\"")},
      {"unreadable value", replaced(good, "name=\"border_style\" value=\"2\"", "name=\"border_style\" value=\"two\"")},
      {"missing attribute", replaced(good, " left=\"552\"", "")},
      {"bad flag", replaced(good, "width=\"80\" height=\"32\" visible=\"1\"", "width=\"80\" height=\"32\" visible=\"2\"")},
      {"duplicate control number", replaced(good, "369172822", "369172821")},
      {"handler outside the table", replaced(good, "handler=\"1\"", "handler=\"2\"")},
      {"negative handler", replaced(good, "handler=\"1\"", "handler=\"-2\"")},
      {"no window", "<form/>"},
  };
  for (const auto& c : cases)
    EXPECT_THROW(runtime::read_form_description(c.data, routines), runtime::form_data_error)
        << c.what;
}

TEST(FormDescription, HandlerMinusOneMeansNone) {
  const auto form =
      runtime::read_form_description(replaced(start_window_form(), "handler=\"1\"", "handler=\"-1\""),
                                     routines);
  EXPECT_EQ(form.find(1375797249)->controls[2].handler_for(0), nullptr);
}

}  // namespace
