#pragma once

#include <wx/string.h>

namespace runtime {

// The program's texts are bytes in its multibyte code page. GB18030 is used: it reads and writes
// every GBK text unchanged and, unlike GBK, can hold every character a user may type.
wxString text_to_wx(const char* text);

// A new block from `allocate` holding `s` in the program's code page, or null when `s` is empty.
char* text_from_wx(const wxString& s);

}  // namespace runtime
