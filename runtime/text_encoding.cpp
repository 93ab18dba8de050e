#include "runtime/text_encoding.h"

#include <wx/strconv.h>

#include <cstring>

#include "runtime/memory.h"

namespace runtime {

namespace {

const wxCSConv& code_page() {
  static const wxCSConv conv("GB18030");
  return conv;
}

}  // namespace

wxString text_to_wx(const char* text) {
  if (!text || !*text) return wxString();
  return wxString(text, code_page());
}

char* text_from_wx(const wxString& s) {
  if (s.empty()) return nullptr;
  const wxCharBuffer bytes = s.mb_str(code_page());
  const std::size_t n = bytes.length();
  if (n == 0) return nullptr;
  char* block = static_cast<char*>(allocate(n + 1));
  std::memcpy(block, bytes.data(), n + 1);
  return block;
}

}  // namespace runtime
