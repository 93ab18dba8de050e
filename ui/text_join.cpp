#include "ui/text_join.h"

#include <cstring>
#include <vector>

#include "runtime/memory.h"

namespace ui {

std::size_t text_length(const char* text) { return text ? std::strlen(text) : 0; }

char* text_join(std::size_t count, const char* const texts[]) {
  // Lengths are kept on the stack for the usual few texts, so the only allocation is the result.
  constexpr std::size_t kept_on_stack = 8;
  std::size_t stack_lengths[kept_on_stack];
  std::vector<std::size_t> heap_lengths;
  std::size_t* lengths = stack_lengths;
  if (count > kept_on_stack) {
    heap_lengths.resize(count);
    lengths = heap_lengths.data();
  }

  std::size_t total = 0;
  for (std::size_t i = 0; i < count; ++i) {
    lengths[i] = text_length(texts[i]);
    total += lengths[i];
  }
  char* joined = static_cast<char*>(runtime::allocate(total + 1));
  char* at = joined;
  for (std::size_t i = 0; i < count; ++i) {
    if (lengths[i] == 0) continue;
    std::memcpy(at, texts[i], lengths[i]);
    at += lengths[i];
  }
  *at = '\0';
  return joined;
}

}  // namespace ui
