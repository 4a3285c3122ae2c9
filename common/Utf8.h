// Checking UTF-8 byte by byte: texts from outside (file names, process names)
// are bytes and need not be valid UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvane {

// The length of the valid UTF-8 sequence at Text[I] (1 to 4), or 0 when the
// byte there starts none: overlong forms, surrogates and values above
// U+10FFFF are invalid.
std::size_t Utf8SequenceLength(std::string_view Text, std::size_t I);

// Which bytes EscapeBytes writes as "\xNN".
struct TByteEscapes {
    bool InvalidUtf8 = false;  // each byte that starts no valid UTF-8 sequence
    bool Controls = false;  // the control characters: below 0x20, and 0x7F
};

// Text with each byte that Which names written as the four characters "\xNN"
// (lower-case hex). Every byte's value survives, and with InvalidUtf8 the
// result is valid UTF-8.
std::string EscapeBytes(std::string_view Text, TByteEscapes Which);

}  // namespace quorvane
