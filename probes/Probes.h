// The operating-system back-end of this build (probes/linux or probes/win32).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "catalogue/ProcessSource.h"

namespace quorvane {

std::unique_ptr<IProcessSource> CreateSystemProcessSource();

// The system's message for an error number, trimmed; empty when it has none.
std::string SystemErrorText(std::uint32_t Error);

}  // namespace quorvane
