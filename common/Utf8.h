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

// Text with every byte that starts no valid sequence replaced by what
// Replace(byte) appends.
template <typename F>
std::string RepairUtf8(std::string_view Text, F&& Replace) {
    std::string Valid;
    Valid.reserve(Text.size());
    for (std::size_t I = 0; I < Text.size();) {
        const std::size_t Length = Utf8SequenceLength(Text, I);
        if (Length == 0) {
            Replace(static_cast<unsigned char>(Text[I]), Valid);
            ++I;
        } else {
            Valid.append(Text.substr(I, Length));
            I += Length;
        }
    }
    return Valid;
}

}  // namespace quorvane
