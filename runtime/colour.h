#pragma once

#include <wx/colour.h>
#include <wx/settings.h>

#include <cstdint>

namespace runtime {

// A colour setting: 0x00BBGGRR, or any value outside that range for the system colour given.
inline wxColour colour_from_setting(std::int64_t value,
                                    wxSystemColour system_default = wxSYS_COLOUR_WINDOWTEXT) {
  if (value < 0 || value > 0xFFFFFF) return wxSystemSettings::GetColour(system_default);
  return wxColour(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

}  // namespace runtime
