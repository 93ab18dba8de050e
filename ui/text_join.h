#pragma once

#include <cstddef>

namespace ui {

// The number of bytes before the first zero byte; a null text measures 0.
std::size_t text_length(const char* text);

// One new text (from `runtime::allocate`) holding the `count` texts one after another, then a
// zero byte. Every text is measured once and copied once into a single block of the final size;
// a null text counts as empty. The result is never null; the caller releases it.
char* text_join(std::size_t count, const char* const texts[]);

template <std::size_t N>
char* text_join(const char* const (&texts)[N]) {
  static_assert(N >= 1);
  return text_join(N, texts);
}

}  // namespace ui
