#include "runtime/error_report.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "runtime/runtime_state.h"

namespace runtime {

void run_time_error_report(std::string_view message, std::int64_t detail1, std::int64_t detail2) {
  runtime_state& s = state();
  s.shutdown_mark = true;  // from here on no event reaches a handler

  const std::string text = "运行时出错!\n错误信息：" + std::string(message) + "\n" +
                           std::to_string(detail1) + "\n" + std::to_string(detail2);
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);

  if (wxTheApp) {
    wxMessageDialog box(nullptr, wxString::FromUTF8(text), wxString::FromUTF8("错误"),
                        wxOK | wxICON_ERROR | wxCENTRE);
    box.ShowModal();
  }

  s.exits.clear();
  shutdown();
  // The report may come from deep inside an event handler: unwinding back through the toolkit's
  // dispatch into a torn-down program is not safe, so the process ends here.
  std::fflush(stdout);
  _exit(255);
}

}  // namespace runtime
