// Message texts of Windows error numbers, for the Win32 files of common/.
#pragma once

#include <cstdint>
#include <string>

namespace quorvane {

// FormatMessageA's text for Error in the language the system picks for
// language 0, trimmed at both ends; empty when the system has none.
std::string Win32MessageText(std::uint32_t Error);

}  // namespace quorvane
