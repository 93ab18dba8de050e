#include <wx/app.h>
#include <wx/init.h>

#include <cstdio>
#include <cstdlib>

#include "runtime/form_runtime.h"
#include "runtime/runtime_state.h"

namespace runtime {

namespace {

// The toolkit's application object. It parses no command line: the program takes none.
class runtime_app : public wxApp {
 public:
  bool OnInit() override { return true; }
};

}  // namespace

int run_process(int argc, char** argv, int (*program_entry)()) {
  wxApp::SetInstance(new runtime_app);
  if (!wxEntryStart(argc, argv)) {
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr, "运行时出错!\n错误信息：cannot open the display %s\n0\n0\n",
                 display ? display : "(DISPLAY is not set)");
    return 255;
  }
  // The program ends when its last window is gone after the loop started; the runtime says when.
  wxTheApp->SetExitOnFrameDelete(false);
  program_entry();
  shutdown();
  wxEntryCleanup();
  return state().quit_code;
}

}  // namespace runtime
