#include "common/SystemText.h"

#include <cerrno>
#include <cstring>

#include "common/Utf8.h"

namespace quorvane {

std::string Utf8ToSystem(std::string_view Utf8) { return std::string(Utf8); }

std::string SystemToUtf8(std::string_view Text) { return std::string(Text); }

std::string OutputText(std::string_view Text) { return EscapeBytes(Text, {.InvalidUtf8 = true}); }

std::string MessageText(std::string_view Text) { return EscapeBytes(Text, {.InvalidUtf8 = true, .Controls = true}); }

std::string LastSystemErrorText() {
    const int Error = errno;
    char Buffer[256];
    // The GNU strerror_r answers a pointer that need not be Buffer.
    return strerror_r(Error, Buffer, sizeof Buffer);
}

}  // namespace quorvane
