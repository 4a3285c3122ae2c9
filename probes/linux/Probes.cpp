#include "probes/Probes.h"

#include <climits>
#include <cstring>

#include "probes/ProbeText.h"
#include "probes/linux/LinuxProcessSource.h"

namespace quorvane {

std::unique_ptr<IProcessSource> CreateSystemProcessSource() { return std::make_unique<TLinuxProcessSource>(); }

std::string SystemErrorText(std::uint32_t Error) {
    // An error number the C library does not know has no message.
    if (Error > static_cast<std::uint32_t>(INT_MAX) || !::strerrorname_np(static_cast<int>(Error)))
        return {};
    char Buffer[256];
    return TrimSystemMessage(::strerror_r(static_cast<int>(Error), Buffer, sizeof Buffer));
}

}  // namespace quorvane
