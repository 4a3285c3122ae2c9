// Expected texts in the encoding the program uses on this build.
#pragma once

#include <string>

#include "common/SystemText.h"

namespace quorvane::testing {

inline std::string Sys(const char* Utf8) { return Utf8ToSystem(Utf8); }

}  // namespace quorvane::testing
