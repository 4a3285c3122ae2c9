#include "common/Utf8.h"

namespace quorvane {

std::size_t Utf8SequenceLength(std::string_view Text, std::size_t I) {
    const auto Byte = [&](std::size_t K) { return static_cast<unsigned char>(Text[K]); };
    const auto IsContinuation = [&](std::size_t K) { return K < Text.size() && (Byte(K) & 0xC0) == 0x80; };
    const unsigned char Lead = Byte(I);
    if (Lead < 0x80)
        return 1;
    std::size_t Length = 0;
    unsigned char Low = 0x80, High = 0xBF;  // allowed range of the second byte
    if (Lead >= 0xC2 && Lead <= 0xDF) {
        Length = 2;
    } else if (Lead >= 0xE0 && Lead <= 0xEF) {
        Length = 3;
        if (Lead == 0xE0)
            Low = 0xA0;  // no overlong forms
        if (Lead == 0xED)
            High = 0x9F;  // no surrogates
    } else if (Lead >= 0xF0 && Lead <= 0xF4) {
        Length = 4;
        if (Lead == 0xF0)
            Low = 0x90;
        if (Lead == 0xF4)
            High = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (I + 1 >= Text.size() || Byte(I + 1) < Low || Byte(I + 1) > High)
        return 0;
    for (std::size_t K = I + 2; K < I + Length; ++K)
        if (!IsContinuation(K))
            return 0;
    return Length;
}

std::string EscapeBytes(std::string_view Text, TByteEscapes Which) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string Escaped;
    Escaped.reserve(Text.size());
    for (std::size_t I = 0; I < Text.size();) {
        const auto Byte = static_cast<unsigned char>(Text[I]);
        const std::size_t Length = Which.InvalidUtf8 ? Utf8SequenceLength(Text, I) : 1;
        if (Length == 0 || (Which.Controls && (Byte < 0x20 || Byte == 0x7F))) {
            Escaped += "\\x";
            Escaped += kDigits[Byte >> 4];
            Escaped += kDigits[Byte & 0xF];
            ++I;
        } else {
            Escaped.append(Text.substr(I, Length));
            I += Length;
        }
    }
    return Escaped;
}

}  // namespace quorvane
